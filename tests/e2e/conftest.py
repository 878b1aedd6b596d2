"""Fixtures of the end-to-end tests: Wine with its prefix and a virtual display, a local
server, and a fresh program directory with Falwick.EXE for each test."""

import os
import subprocess
from pathlib import Path

import pytest

from harness.falwick import ProgramDirectory
from harness.server import LocalServer
from harness.wine import VirtualDisplay, Wine, make_prefix

WORK = Path(os.environ.get("FALWICK_E2E_WORK", Path(__file__).parents[2] / "build/windows/e2e"))
EXE = Path(os.environ.get("FALWICK_EXE", Path(__file__).parents[2] / "build/windows/Falwick.EXE"))
TOOLS = Path(os.environ.get("FALWICK_TEST_TOOLS", EXE.parent / "tests/e2e"))


@pytest.fixture(scope="session")
def display():
    screen = VirtualDisplay()
    yield screen
    screen.close()


@pytest.fixture(scope="session")
def wine(display):
    make_prefix(WORK / "prefix")
    session = Wine(WORK / "prefix", display.name)
    yield session
    session.close()


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
    exit code and the paths the namespace's own server was asked for."""
    import json

    def run(mode):
        program = tmp_path / "offline"
        program.mkdir(exist_ok=True)
        (program / "Falwick.EXE").write_bytes(EXE.read_bytes())
        result = tmp_path / "offline.json"
        subprocess.run(["unshare", "-n", "/usr/bin/python3", "-m", "harness.offline_runner",
                        str(WORK / "prefix-offline"), str(program), mode, str(result)],
                       check=True, cwd=Path(__file__).parent, timeout=300)
        outcome = json.loads(result.read_text())
        outcome["files"] = sorted(os.listdir(program))
        return outcome

    return run


class BrowserLog:
    """What the fake browser was started with, one entry per start."""

    def __init__(self, path):
        self.path = path

    def launches(self, wait=0.0):
        import time
        deadline = time.monotonic() + wait
        while not self.path.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        if not self.path.exists():
            return []
        return self.path.read_text(encoding="latin-1").splitlines()


@pytest.fixture(scope="session")
def html_association(wine):
    """Registers the fake browser as the program for ".htm" files in the test prefix."""
    wine.use_browser(TOOLS / "browser_recorder.exe")
    return wine.windows_path(TOOLS / "browser_recorder.exe")


@pytest.fixture(autouse=True)
def browser(request, tmp_path):
    """Each test's own record of browser starts (empty when the test needs no Wine)."""
    log = tmp_path / "browser.log"
    if "wine" in request.fixturenames or "program" in request.fixturenames:
        wine = request.getfixturevalue("wine")
        request.getfixturevalue("html_association")
        wine.env["FALWICK_BROWSER_LOG"] = wine.windows_path(log)
    return BrowserLog(log)


# The notice dialog, read and answered from outside with tools/dialog_driver.exe, and
# what a run leaves behind: browser starts and Wine's temporary directory.

DIALOG_DRIVER = TOOLS / "dialog_driver.exe"


def wait_until(condition, timeout=30.0, interval=0.05):
    """Polls `condition` until it holds; returns its last value (falsy on time-out)."""
    import time
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class NoticeRun:
    """One run of Falwick through its notice dialog: the driver's description of the
    dialog as shown (None when none appeared) and Falwick's exit code (None when it had
    to be ended)."""

    def __init__(self, dialog, exit_code):
        self.dialog = dialog
        self.exit_code = exit_code

    def control(self, control_id):
        matches = [c for c in self.dialog["controls"] if c["id"] == control_id]
        assert len(matches) == 1, "control %d: %d found" % (control_id, len(matches))
        return matches[0]


def run_notice(wine, display, program, out, tokens, *actions, screenshot=None, timeout=30):
    """Starts Falwick in `program` with the tokens, waits up to `timeout` seconds for its
    notice dialog, has the dialog driver describe it into `out` and perform the actions
    (tick, untick, yes, no, esc, enter), and waits for Falwick to end. With `screenshot`,
    a PNG of the screen is saved there while the dialog is shown, before any action."""
    import json

    if out.exists():
        out.unlink()
    driver = [DIALOG_DRIVER, "--out", wine.windows_path(out), "--timeout", str(timeout)]
    falwick = program.start(*tokens)
    try:
        if screenshot is not None:
            status, _ = wine.run(*driver)
            if status == 0:
                display.screenshot(screenshot)
        status, _ = wine.run(*driver, *actions)
        assert status in (0, 2), "dialog driver failed (status %d)" % status
        try:
            # Without a dialog to answer, Falwick has ended or is about to.
            exit_code = falwick.wait(timeout=60 if status == 0 else 5)
        except subprocess.TimeoutExpired:
            exit_code = None  # still running: ended below
    finally:
        if falwick.poll() is None:
            falwick.kill()
            falwick.wait()
    dialog = json.loads(out.read_text(encoding="latin-1")) if status == 0 else None
    return NoticeRun(dialog, exit_code)


@pytest.fixture
def notice(wine, display, program, tmp_path):
    """notice(tokens, *actions, screenshot=None, timeout=30): run_notice in the test's
    program directory."""
    def run(tokens, *actions, **options):
        return run_notice(wine, display, program, tmp_path / "dialog.json", tokens, *actions,
                          **options)

    return run


def browser_starts(browser, wine):
    """The browser starts of runs that have ended, once every fake browser they started
    has finished writing. A browser is started before Falwick ends, and Wine shows a
    process's command line as its Windows path, so the running ones can be seen."""
    recorder = wine.windows_path(TOOLS / "browser_recorder.exe").lower()

    def running():
        for entry in os.listdir("/proc"):
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                    name = cmdline.read().split(b"\0")[0].decode("latin-1").lower()
            except OSError:
                continue
            if name == recorder:
                return True
        return False

    assert wait_until(lambda: not running()), "a fake browser did not end"
    return browser.launches()


@pytest.fixture(scope="session")
def wine_temp_dir(wine, tmp_path_factory):
    """Wine's temporary directory (where GetTempPathA points: %TMP%) as a Unix path,
    asked of Wine itself. Output goes through files: Wine's services inherit pipes."""
    answers = tmp_path_factory.mktemp("wine-temp")

    def ask(command, name):
        with open(answers / name, "w+") as out:
            subprocess.run(command, env=wine.env, stdin=subprocess.DEVNULL, stdout=out,
                           stderr=subprocess.DEVNULL, check=True, timeout=120)
            out.seek(0)
            return out.read().strip()

    windows = ask(["wine", "cmd", "/c", "echo %TMP%"], "windows")
    assert windows and "%" not in windows, windows
    path = Path(ask(["winepath", "-u", windows], "unix"))
    assert path.is_dir(), path
    return path
