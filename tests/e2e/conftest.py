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
    recorder = wine.windows_path(TOOLS / "browser_recorder.exe")
    wine.reg("add", r"HKCR\.htm", "/ve", "/d", "falwicktest.htm", "/f")
    wine.reg("add", r"HKCR\falwicktest.htm\shell\open\command", "/ve", "/d",
             '"%s" "%%1"' % recorder, "/f")
    return recorder


@pytest.fixture(autouse=True)
def browser(request, tmp_path):
    """Each test's own record of browser starts (empty when the test needs no Wine)."""
    log = tmp_path / "browser.log"
    if "wine" in request.fixturenames or "program" in request.fixturenames:
        wine = request.getfixturevalue("wine")
        request.getfixturevalue("html_association")
        wine.env["FALWICK_BROWSER_LOG"] = wine.windows_path(log)
    return BrowserLog(log)
