"""Fixtures of the end-to-end tests, each defined here once: a Wine session with its
prefix and a virtual display, a local server, a fresh program directory with Falwick.EXE
for each test, the runner that runs Falwick and answers its notice, the clock of
Falwick's own start and end, and what a run leaves behind: browser starts and Wine's
temporary directory. The machinery is the harness package at the top of the tree; test
modules import from it, never from here or from each other.

ctest runs the suites (one pytest run each) side by side: each has a work directory of
its own (FALWICK_E2E_WORK), with its own copies of the prepared prefix (harness.prepare),
each with its own wineserver, and its own virtual display."""

import os
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
if str(ROOT) not in sys.path:
    sys.path.insert(0, str(ROOT))  # pytest run by hand, without ctest's PYTHONPATH

from harness import certs, offline, sample  # noqa: E402
from harness.falwick import BrowserLog, ProgramDirectory  # noqa: E402
from harness.info_tool import InfoTool  # noqa: E402
from harness.notice import NOTICE_CAPTION  # noqa: E402
from harness.prepare import prefix_copy  # noqa: E402
from harness.process_clock import ProcessClock  # noqa: E402
from harness.programs import Programs  # noqa: E402
from harness.runs import Case, Runner  # noqa: E402
from harness.server import LocalServer  # noqa: E402
from harness.wine import session  # noqa: E402


@pytest.fixture(scope="session")
def programs():
    """The built programs (harness.programs): falwick, falwick_info, dialog_driver, ..."""
    return Programs()


@pytest.fixture(scope="session")
def work(programs):
    """The suite's own work directory: its prefixes, pictures to look at."""
    return Path(os.environ.get("FALWICK_E2E_WORK", programs.build_dir / "e2e" / "pytest"))


@pytest.fixture(scope="session")
def wine(programs, work):
    with session(prefix_copy(programs.build_dir, work / "prefix")) as wine:
        yield wine


@pytest.fixture
def server():
    with LocalServer() as local:
        yield local


@pytest.fixture
def program(programs, tmp_path):
    return ProgramDirectory(tmp_path / "Program Files" / "Writer", programs.falwick)


@pytest.fixture(scope="module")
def runner(wine, programs, html_association, tmp_path_factory):
    """Runs Falwick (harness.runs) for the module's tests; at the end, every notice seen
    must have been one of its runs'."""
    runner = Runner(wine, tmp_path_factory.mktemp("runs"), programs.falwick,
                    programs.dialog_driver)
    yield runner
    runner.check_every_notice_was_claimed()


@pytest.fixture(scope="module")
def process_clock(wine, programs, runner, work):
    """For a module with time bounds: when Windows says each Falwick.EXE and
    deadline_probe.exe began and ended (harness.process_clock), which gives the runner's
    outcomes their lifetime and dialog_seconds while the module runs."""
    clock = ProcessClock(wine, programs.process_times, ("Falwick.EXE", "deadline_probe.exe"),
                         work, window=NOTICE_CAPTION)
    runner.clock = clock
    yield clock
    runner.clock = None
    clock.close()


@pytest.fixture
def falwick(runner, program, browser):
    """falwick(tokens, *actions, raw=None, on_shown=None, timeout=150, env=None): one run
    of Falwick in the test's program directory, with the tokens (or the raw argument
    string, "" for none), its browser starts in the test's record. With actions (tick,
    untick, yes, no, esc, enter), its notice is awaited and answered with them, after
    on_shown was called with its description; an Outcome (harness.runs)."""
    def run(tokens, *actions, raw=None, on_shown=None, timeout=150, env=None):
        line = raw if raw is not None else sample.command_line(tokens)
        case = Case(program=program, command_line=line, browser_log=browser.path, env=env)
        return runner.run("run", case, actions or None, timeout=timeout, on_shown=on_shown)

    return run


@pytest.fixture(scope="session")
def info_tool(wine, programs):
    """falwick-info.exe as built (harness.info_tool)."""
    return InfoTool(wine, programs.falwick_info)


@pytest.fixture(scope="session")
def offline_prefix(programs, work):
    """A copy of the prepared prefix for runs off line, which start a wineserver of
    their own inside a network namespace (harness.offline)."""
    return prefix_copy(programs.build_dir, work / "prefix-offline")


@pytest.fixture
def offline_run(programs, offline_prefix, tmp_path):
    """Runs Falwick off line (in a network namespace) in the given mode; returns the
    exit code, the paths the namespace's own server was asked for and the files left."""
    return lambda mode: offline.run(offline_prefix, programs.falwick, tmp_path / "offline",
                                    mode)


@pytest.fixture(scope="session")
def html_association(wine, programs):
    """Registers the fake browser as the program for ".htm" files in the test prefix."""
    wine.use_browser(programs.browser_recorder)
    return wine.windows_path(programs.browser_recorder)


@pytest.fixture(autouse=True)
def browser(request, tmp_path):
    """Each test's own record of browser starts (empty when the test needs no Wine)."""
    log = BrowserLog(tmp_path / "browser.log")
    if "wine" in request.fixturenames or "program" in request.fixturenames:
        wine = request.getfixturevalue("wine")
        request.getfixturevalue("html_association")
        wine.env.update(log.environment(wine))
    return log


@pytest.fixture
def browser_starts(browser, wine):
    """browser_starts(): the test's browser starts of runs that have ended, once every
    fake browser they started has finished writing."""
    return lambda: browser.settled(wine)


@pytest.fixture(scope="session")
def wine_temp_dir(wine):
    """Wine's temporary directory (where GetTempPathA points: %TMP%) as a Unix path."""
    path = wine.temp_dir()
    assert path.is_dir(), path
    return path


@pytest.fixture(scope="session")
def certificates(tmp_path_factory):
    """A test CA ("ca", for the prefix to trust: certs.trusted) and server certificates:
    "trusted" for localhost, "expired" and "wrong_host" (www.orvanel.example) from the
    same CA, and "untrusted", for localhost from a CA no one trusts."""
    directory = tmp_path_factory.mktemp("certificates")
    ca = certs.make_ca(directory)
    stranger = certs.make_ca(directory / "stranger", name="Stranger Test CA")
    return {"ca": ca,
            "trusted": certs.issue(ca, "trusted"),
            "expired": certs.issue(ca, "expired", expired=True),
            "wrong_host": certs.issue(ca, "wrong_host", hosts=("www.orvanel.example",)),
            "untrusted": certs.issue(stranger, "untrusted")}


@pytest.fixture
def immutable():
    """Sets the immutable flag on paths (Wine runs as root here: only that flag stops
    it as Windows stops a user); the flag is taken off again after the test."""
    flagged = []

    def flag(path):
        subprocess.run(["chattr", "+i", str(path)], check=True)
        flagged.append(path)

    yield flag
    for path in reversed(flagged):
        subprocess.run(["chattr", "-i", str(path)], check=True)
