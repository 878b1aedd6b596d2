"""Fixtures of the end-to-end tests: a Wine session with its prefix and a virtual display,
a local server, a fresh program directory with Falwick.EXE for each test, the notice
answered from outside, and what a run leaves behind: browser starts and Wine's
temporary directory. The machinery is the harness package at the top of the tree."""

import os
import shutil
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
if str(ROOT) not in sys.path:
    sys.path.insert(0, str(ROOT))  # pytest run by hand, without ctest's PYTHONPATH

from harness import certs, notice as notices, offline  # noqa: E402
from harness.falwick import BrowserLog, ProgramDirectory  # noqa: E402
from harness.notice import DialogDriver  # noqa: E402
from harness.programs import Programs  # noqa: E402
from harness.server import LocalServer  # noqa: E402
from harness.wine import session, wait_until  # noqa: E402,F401

PROGRAMS = Programs()
WORK = Path(os.environ.get("FALWICK_E2E_WORK", PROGRAMS.build_dir / "e2e"))
EXE = PROGRAMS.falwick
TOOLS = PROGRAMS.dialog_driver.parent  # where the tests' helper programs are built
DIALOG_DRIVER = PROGRAMS.dialog_driver


@pytest.fixture(scope="session")
def wine():
    with session(WORK / "prefix") as wine:
        yield wine


@pytest.fixture(scope="session")
def display(wine):
    return wine.screen


@pytest.fixture
def server():
    with LocalServer() as local:
        yield local


@pytest.fixture
def program(wine, tmp_path):
    return ProgramDirectory(wine, EXE, tmp_path / "Program Files" / "Writer")


@pytest.fixture
def offline_run(tmp_path):
    """Runs Falwick off line (in a network namespace) in the given mode; returns the
    exit code, the paths the namespace's own server was asked for and the files left."""
    def run(mode):
        program = tmp_path / "offline"
        program.mkdir(exist_ok=True)
        shutil.copyfile(EXE, program / "Falwick.EXE")
        return offline.run(WORK / "prefix-offline", program, mode, tmp_path / "offline.json")

    return run


@pytest.fixture(scope="session")
def html_association(wine):
    """Registers the fake browser as the program for ".htm" files in the test prefix."""
    wine.use_browser(PROGRAMS.browser_recorder)
    return wine.windows_path(PROGRAMS.browser_recorder)


@pytest.fixture(autouse=True)
def browser(request, tmp_path):
    """Each test's own record of browser starts (empty when the test needs no Wine)."""
    log = BrowserLog(tmp_path / "browser.log")
    if "wine" in request.fixturenames or "program" in request.fixturenames:
        wine = request.getfixturevalue("wine")
        request.getfixturevalue("html_association")
        wine.env.update(log.environment(wine))
    return log


def run_notice(program, out, tokens, *actions, screenshot=None, timeout=30):
    """Starts Falwick in `program` with the tokens, waits up to `timeout` seconds for its
    notice, has the dialog driver describe it into `out` and perform the actions (tick,
    untick, yes, no, esc, enter), and waits for Falwick to end. With `screenshot`, a PNG
    of the screen is saved there while the notice is shown, before any action."""
    wine = program.wine
    look = None
    if screenshot is not None:
        def look(dialog):
            wine.screen.screenshot(screenshot)
    return notices.answer(DialogDriver(wine, DIALOG_DRIVER), program.start(*tokens), out,
                          actions, timeout=timeout, on_shown=look)


@pytest.fixture
def notice(program, tmp_path):
    """notice(tokens, *actions, screenshot=None, timeout=30): run_notice in the test's
    program directory."""
    def run(tokens, *actions, **options):
        return run_notice(program, tmp_path / "dialog.json", tokens, *actions, **options)

    return run


def browser_starts(browser, wine):
    """The browser starts of runs that have ended, once every fake browser they started
    has finished writing (a browser is started before Falwick ends)."""
    assert wait_until(lambda: not wine.running(PROGRAMS.browser_recorder)), \
        "a fake browser did not end"
    return browser.launches()


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
