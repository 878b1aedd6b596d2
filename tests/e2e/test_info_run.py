"""falwick-info run, the dry run of a host's command line, against the real program: in
each setting, falwick-info.exe placed beside Falwick.EXE runs first and says what Falwick
would do and why; then Falwick.EXE runs in the same directory against the same server,
and does just that. The dry run leaves the program directory byte for byte as it was,
starts no browser and shows no window."""

import os
from dataclasses import dataclass, field

import pytest

from harness import certs, notice as notices, offline, sample
from harness.info_tool import InfoTool
from harness.notice import DialogDriver
from harness.falwick import ProgramDirectory
from harness.server import LocalServer, response

CACHED = {"Cache-Control": "no-cache"}
# The machine check's findings on every run under Wine, after the run's own: Falwick.EXE
# is unsigned, and .htm opens the tests' fake browser while https links go to Wine's
# browser launcher (test_machine_check.py).
UNDER_WINE = ["falwick-unsigned", "htm-program-not-https-browser"]


@dataclass
class Setting:
    serve: object = None  # called with the server to set up its scenario
    tokens: dict = field(default_factory=dict)  # over the sample tokens
    raw: str = None  # the command line itself, instead of tokens
    tls: str = None  # "untrusted" or "trusted": the server speaks https
    locked: bool = False  # the program directory cannot be written


def info(body, **kwargs):
    return lambda server: server.serve("/info.txt", body, **kwargs)


def redirect(server):
    server.serve("/old.txt", status=302, headers={"Location": server.url("/info.txt")})
    server.serve("/info.txt", sample.NEWER, headers=CACHED)


# name: (setting, outcome, reason)
SETTINGS = {
    "empty": (Setting(raw=""), "nothing", "empty-command-line"),
    "bad_mode": (Setting(info(sample.NEWER), {"mode": "PQ"}), "nothing", "bad-command-line"),
    "same_file": (Setting(info(sample.NEWER), {"info_file": "WRITER.ini"}), "nothing",
                  "same-file"),
    "same_file_spelled": (Setting(info(sample.NEWER), {"info_file": "sub\\..\\writer.ini."}),
                          "nothing", "same-file"),
    "closed_port": (Setting(tokens={"info_url": sample.UNREACHABLE + "/info.txt"}), "nothing",
                    "url-not-opened"),
    "untrusted": (Setting(info(sample.NEWER), tls="untrusted"), "nothing", "url-not-opened"),
    "error_page": (Setting(), "nothing", "not-newer"),  # the server's own 404 page
    "not_newer_pu": (Setting(info(sample.NOT_NEWER, headers=CACHED)), "nothing", "not-newer"),
    "not_newer_px": (Setting(info(sample.NOT_NEWER, headers=CACHED), {"mode": "PX"}), "browser",
                     "not-newer"),
    "newer": (Setting(info(sample.NEWER, headers=CACHED)), "notice", "newer"),
    "newer_https": (Setting(info(sample.NEWER, headers=CACHED), tls="trusted"), "notice",
                    "newer"),
    "locked_directory": (Setting(info(sample.NEWER, headers=CACHED), locked=True), "nothing",
                         "info-file-not-writable"),
    "redirect": (Setting(redirect), "notice", "newer"),
}


@pytest.fixture(scope="module")
def tls_contexts(wine, certificates):
    """Server contexts with a certificate of a CA the prefix trusts for the module, and
    with one of a CA it does not."""
    with certs.trusted(wine, certificates["ca"]):
        yield {name: certificates[name].server_context() for name in ("trusted", "untrusted")}


def contents(directory):
    return {name: (directory / name).read_bytes() for name in sorted(os.listdir(directory))}


def falwick_outcome(falwick, line, browser_starts):
    """Falwick.EXE itself with the same command line: notice, browser or nothing."""
    seen = falwick(None, "no", raw=line, timeout=60)
    assert seen.ended and seen.exit_code == 0
    if seen.shown:
        return "notice"
    return "browser" if browser_starts() else "nothing"


@pytest.mark.parametrize("name", list(SETTINGS))
def test_the_dry_run_says_what_falwick_then_does(name, wine, programs, program, falwick,
                                                 browser_starts, tls_contexts, certificates,
                                                 tmp_path, immutable):
    setting, outcome, reason = SETTINGS[name]
    tool = InfoTool(wine, program.path / "falwick-info.exe")
    ProgramDirectory(program.path, None, {"writer.ini": sample.HOST_SETTINGS},
                     {"falwick-info.exe": programs.falwick_info})
    if setting.locked:
        immutable(program.path)
        assert not wine.may_write(program.path / "probe.txt")
    server = LocalServer(tls=tls_contexts.get(setting.tls),
                         host="localhost" if setting.tls else "127.0.0.1")
    if setting.serve is not None:
        setting.serve(server)
    with server:
        path = "/old.txt" if setting.serve is redirect else "/info.txt"
        line = setting.raw if setting.raw is not None else sample.command_line(
            sample.tokens(server, path, **dict({"download_url": server.url("/get.htm")},
                                               **setting.tokens)))
        before = contents(program.path)
        watch = DialogDriver(wine, programs.dialog_driver).start(tmp_path / "tool-dialog.json",
                                                                 60)
        try:
            run = tool.dry_run(line)
        finally:
            notices.stop(watch)
        assert not (tmp_path / "tool-dialog.json").exists(), "the dry run showed a window"
        assert browser_starts() == [], "the dry run started a browser"
        assert contents(program.path) == before
        requests_by_tool = len(server.requests)

        report = run.data
        assert (report["outcome"], report["reason"]) == (outcome, reason), report["sentence"] + (
            certs.root_store_listing(wine, certificates["ca"]) if setting.tls == "trusted" else "")
        assert (report["schema"], run.status) == (1, run.worst)  # the answer is not the code
        assert falwick_outcome(falwick, line, browser_starts) == outcome
        assert len(server.requests) == 2 * requests_by_tool  # the same fetch, once each

    check_details(name, report, server)


def check_details(name, report, server):
    """What the report tells beyond the outcome, where it is the point of the setting."""
    ids = [finding["id"] for finding in report["findings"]]
    fetch = report["steps"]["fetch"]
    if name in ("closed_port", "untrusted"):
        assert report["status"] is None and "url-not-opened" in ids
        # Wine reports an untrusted root as 12057, on Windows it is 12045.
        assert report["error"] in ({12029} if name == "closed_port" else {12045, 12057})
        assert fetch["error_name"].startswith("ERROR_INTERNET_")
    else:
        assert report["error"] is None
    if name == "untrusted":
        assert fetch["certificate_verified"] is False
    if name == "newer_https":
        assert fetch["certificate_verified"] is True and "http-not-https" not in ids
    if name == "error_page":
        assert report["status"] == 404 and report["steps"]["check"]["newer"] is False
        assert {"status-not-200", "html-body", "no-cache-headers"} <= set(ids)
    if name in ("newer", "not_newer_pu", "not_newer_px"):
        assert report["status"] == 200 and report["from_cache"] is False
        # 3.5 shows as 3.0.014 in the standard sentence: a note.
        assert ids == ["http-not-https"] + ["version-fraction"] * (name == "newer") + UNDER_WINE
        # The setting is read for the notice only, and reported as the run read it.
        setting = report["steps"]["setting"]
        assert (setting["read"], setting["disable_checking"]) == (
            (True, 0) if name == "newer" else (False, None))
    if name == "not_newer_px":
        assert report["steps"]["browser"]["url"] == server.url("/get.htm")
    if name == "newer":
        assert report["steps"]["notice"]["display_version"] == "3.0.014"
    if name == "locked_directory":
        assert "program-directory-not-writable" in ids
        assert report["steps"]["paths"]["info"]["writable"] is False
    if name == "redirect":
        assert fetch["url"] == server.url("/old.txt")
        assert fetch["final_url"] == server.url("/info.txt")
    if name == "bad_mode":
        assert "neither PU nor PX" in report["steps"]["command_line"]["problem"]
    # The machine is checked once the command line has a mode, and only then.
    if name.startswith("same_file"):
        assert report["steps"]["fetch"] is None, "fetched for a run that ends before it"
    if name in ("empty", "bad_mode"):
        assert report["steps"]["machine"] is None
        assert not set(UNDER_WINE) & set(ids)
    else:
        assert report["steps"]["machine"]["signature"]["verdict"] == "unsigned"
        assert ids[-len(UNDER_WINE):] == UNDER_WINE


def test_off_line_the_dry_run_and_falwick_both_fetch_nothing(programs, offline_prefix, tmp_path):
    outcome = offline.run(offline_prefix, programs.falwick, tmp_path, "PX",
                          info_tool=programs.falwick_info)
    report = outcome["tool_report"]
    assert (report["outcome"], report["reason"]) == ("nothing", "offline"), report["sentence"]
    assert report["steps"]["connection"]["result"] in ("not-connected", "no-modem-or-lan")
    assert report["steps"]["connection"]["connected"] is False
    assert outcome["exit_code"] == 0 and outcome["requests"] == []
    assert outcome["files"] == ["Falwick.EXE"]


def huge(server):
    def pieces():
        yield sample.NEWER
        for _ in range(257):
            yield b"x" * 65536
    server.scenario["/huge.txt"] = response(stream=pieces, length=len(sample.NEWER) + 257 * 65536,
                                            headers=CACHED)


# server, path: exit status, final status (None: not opened), what else the fetch says
CHECKS = [
    ("plain", "/info.txt", 1, 200, {"certificate_verified": None}),  # plain http: a warning
    ("plain", "/old.txt", 1, 200, {}),  # the final URL is checked below
    ("plain", "/missing.txt", 2, 404, {}),  # an error page: errors
    ("plain", "/huge.txt", 1, 200, {"body_cut": True, "bytes": 16 << 20}),
    ("trusted", "/info.txt", 0, 200, {"certificate_verified": True}),  # 3.5: a note only
    ("untrusted", "/info.txt", 3, None, {"certificate_verified": False, "opened": False}),
]


def test_check_url_fetches_with_falwicks_own_download(info_tool, tls_contexts, certificates):
    servers = {"plain": LocalServer(), "trusted": LocalServer(tls=tls_contexts["trusted"],
                                                              host="localhost"),
               "untrusted": LocalServer(tls=tls_contexts["untrusted"], host="localhost")}
    for server in servers.values():
        redirect(server)
        huge(server)
    for server in servers.values():
        server.start()
    try:
        for name, path, code, status, expected in CHECKS:
            url = servers[name].url(path)
            report = info_tool.check(url, "--installed", sample.INSTALLED)
            assert report.status == code, (url, report.data, report.error) + (
                (certs.root_store_listing(info_tool.wine, certificates["ca"]),)
                if name == "trusted" else ())
            assert report.data is not None, (url, report.output[-2000:], report.error)
            fetch = report.data["fetch"]
            assert fetch["status"] == status, (url, fetch)
            assert {key: fetch[key] for key in expected} == expected, (url, fetch)
            if path == "/old.txt":
                assert fetch["final_url"] == servers[name].url("/info.txt")
            if name == "untrusted":
                assert fetch["error"] in (12045, 12057), fetch
        assert [r.user_agent for r in servers["plain"].requests][:1] == ["Orvanel Program Update"]
    finally:
        for server in servers.values():
            server.stop()
