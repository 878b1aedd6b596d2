"""Opening the download page: Falwick starts the program associated with ".htm" files
(here the fake browser, tools/browser_recorder.cpp) with the download URL as its
parameters, after "Yes" in the notice, or at once when an explicit check ("PX") finds
nothing newer. It finds that program through a placeholder "www.htm" in the temporary
directory, which never outlives the run."""

import pytest

from harness import sample
from harness.sample import NEWER, NOT_NEWER
from harness.wine import wait_until

# Spaces, an escape and a query: the browser must get these characters exactly.
URL = "http://127.0.0.1:9/downloads/Writer Setup 3.0.014.htm?from=update check&name=a%20b"


@pytest.fixture
def placeholder(wine_temp_dir):
    """The placeholder's path; checks that no run of the test left it behind."""
    path = wine_temp_dir / "www.htm"
    if path.exists():
        path.unlink()
    yield path
    # The file goes when Falwick's handle is closed at its exit, which Wine may finish
    # just after the process has gone.
    assert wait_until(lambda: not path.exists(), timeout=10), "www.htm was left behind"


@pytest.fixture
def no_htm_association(wine, tmp_path):
    """No program is associated with ".htm" for the test; restored afterwards."""
    saved = tmp_path / "htm.reg"
    wine.reg("export", r"HKCR\.htm", wine.windows_path(saved), "/y")
    wine.reg("delete", r"HKCR\.htm", "/f")
    yield
    wine.reg("import", wine.windows_path(saved))


def tokens(server, mode="PU"):
    return sample.tokens(server, mode=mode, download_url=URL)


# Enter answers the default button "Yes", also when the box (clicked) has the focus.
@pytest.mark.parametrize("actions", [["yes"], ["enter"], ["tick", "enter"]],
                         ids=["yes", "enter", "enter-from-box"])
def test_yes_starts_the_browser_once_with_the_url_unchanged_and_unquoted(
        falwick, server, browser_starts, placeholder, actions):
    server.serve("/info.txt", NEWER)
    run = falwick(tokens(server), *actions)
    assert run.dialog is not None
    assert run.exit_code == 0
    assert browser_starts() == [URL]


@pytest.mark.parametrize("answer", ["no", "esc"])
def test_no_and_esc_start_no_browser(falwick, server, browser_starts, placeholder, answer):
    server.serve("/info.txt", NEWER)
    run = falwick(tokens(server), answer)
    assert run.dialog is not None
    assert run.exit_code == 0
    assert browser_starts() == []


def test_an_explicit_check_with_nothing_newer_opens_the_page_without_asking(
        falwick, server, browser_starts, placeholder):
    server.serve("/info.txt", NOT_NEWER)
    # A notice would keep the run waiting for an answer: it must end by itself.
    run = falwick(tokens(server, mode="PX"), timeout=60)
    assert run.exit_code == 0
    assert browser_starts() == [URL]


def test_an_explicit_check_with_a_newer_version_opens_the_page_only_after_yes(
        falwick, server, browser_starts, placeholder):
    server.serve("/info.txt", NEWER)
    declined = falwick(tokens(server, mode="PX"), "no")
    assert declined.dialog is not None and declined.exit_code == 0
    assert browser_starts() == []

    accepted = falwick(tokens(server, mode="PX"), "yes")
    assert accepted.dialog is not None and accepted.exit_code == 0
    assert browser_starts() == [URL]


def test_without_an_htm_association_nothing_starts_and_the_run_ends_quietly(
        falwick, program, server, browser_starts, placeholder, no_htm_association):
    server.serve("/info.txt", NEWER)
    run = falwick(tokens(server), "yes")
    assert run.dialog is not None
    assert run.exit_code == 0
    assert browser_starts() == []
    assert program.files() == {"Falwick.EXE", "writer.ini"}


def test_a_www_htm_left_by_another_process_does_not_stop_the_browser(
        falwick, server, browser_starts, placeholder):
    placeholder.write_bytes(b"<html>left over</html>")
    server.serve("/info.txt", NEWER)
    run = falwick(tokens(server), "yes")
    assert run.dialog is not None
    assert run.exit_code == 0
    assert browser_starts() == [URL]
