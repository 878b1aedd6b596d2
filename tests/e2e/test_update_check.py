"""The update check seen from outside: what Falwick asks the server for, which files it
leaves, and that it always ends with exit code 0."""

from harness.sample import NOT_NEWER, tokens


def test_a_check_fetches_the_info_url_once_with_its_agent_and_leaves_no_file(falwick, server):
    server.serve("/info.txt", NOT_NEWER)
    run = falwick(tokens(server))
    assert run.exit_code == 0
    assert [(r.method, r.path, r.user_agent) for r in server.requests] == [
        ("GET", "/info.txt", "Orvanel Program Update")]
    assert run.files == {"Falwick.EXE"}


def test_modes_are_accepted_without_regard_to_case(falwick, server, browser):
    server.serve("/info.txt", NOT_NEWER)
    for mode in ("pu", "PU", "Px"):
        run = falwick(tokens(server, mode=mode))
        assert run.exit_code == 0
    assert len(server.requests) == 3
    # Nothing newer: only the explicit check opens the download page.
    assert browser.launches() == ["http://127.0.0.1:9/download page.htm"]


def test_unusable_command_lines_make_no_request_and_touch_no_file(falwick, program, server):
    server.serve("/info.txt", NOT_NEWER)
    program.file("info.txt").write_bytes(b"stale")
    good = tokens(server)
    for arguments in (good[:-1], good + ["extra"], [good[0], "PQ"] + good[2:]):
        assert falwick(arguments).exit_code == 0
    assert falwick(None, raw="").exit_code == 0
    assert falwick(None, raw="<Writer>").exit_code == 0
    assert server.requests == []
    assert program.files() == {"Falwick.EXE", "info.txt"}
    assert program.file("info.txt").read_bytes() == b"stale"


def test_a_stale_info_file_is_replaced_by_the_download_and_removed(falwick, program, server):
    program.file("info.txt").write_bytes(b"VERSION=99\r\n")
    server.serve("/info.txt", NOT_NEWER)
    run = falwick(tokens(server))
    assert run.exit_code == 0
    assert run.files == {"Falwick.EXE"}


def test_an_unreachable_server_ends_the_run_quietly(falwick):
    run = falwick(tokens(None, mode="PX"))
    assert run.exit_code == 0
    assert run.files == {"Falwick.EXE"}


def test_error_pages_are_read_and_announce_nothing(falwick, server, browser):
    # No info file is served: the 404 page is stored, read and deleted.
    run = falwick(tokens(server))
    assert run.exit_code == 0
    assert [r.path for r in server.requests] == ["/info.txt"]
    assert run.files == {"Falwick.EXE"}
    assert browser.launches() == []


def test_off_line_neither_mode_asks_for_anything(offline_run):
    for mode in ("PU", "PX"):
        outcome = offline_run(mode)
        assert outcome["exit_code"] == 0
        assert outcome["requests"] == []
        assert outcome["files"] == ["Falwick.EXE"]
