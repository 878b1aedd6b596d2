"""The sample host product (examples/host) as a user meets it: at its start it starts
Falwick.EXE beside it for a check, unless its settings file says the user disabled
that, and its button "Check for updates now" starts an explicit check. A stand-in
Falwick.EXE (the fake browser, tools/browser_recorder.cpp, which records the argument
string it was given) shows exactly what the host passed; the host's own window, read
by tools/host_driver.cpp, shows the whole command line. One test runs the real
Falwick."""

import os
import shutil
from pathlib import Path

import pytest

from conftest import EXE, TOOLS, browser_starts, wait_until
from harness.sample import NOT_NEWER

HOST = Path(os.environ.get("FALWICK_SAMPLE_HOST", EXE.parent / "examples/host/SampleHost.exe"))
DRIVER = TOOLS / "host_driver.exe"
RECORDER = TOOLS / "browser_recorder.exe"
DOWNLOAD = "http://127.0.0.1:9/Writer Setup.htm?from=update&x=1"
SETTINGS = "[Options]\r\nNoUpdateCheck=%s\r\n"


def host_ini(settings_file="SampleHost.ini", info_url="http://127.0.0.1:9/info.txt"):
    return ("[Host]\r\nProduct=My Writer\r\nInfoUrl=%s\r\nInfoFile=writer-update.txt\r\n"
            "Installed=3.0.012\r\nSettingsFile=%s\r\nSection=Options\r\nKey=NoUpdateCheck\r\n"
            "DownloadUrl=%s\r\n" % (info_url, settings_file, DOWNLOAD))


def tokens(mode, settings_file="SampleHost.ini", info_url="http://127.0.0.1:9/info.txt"):
    return "".join("<%s>" % t for t in ("My Writer", mode, info_url, "writer-update.txt",
                                        "3.0.012", settings_file, "Options",
                                        "NoUpdateCheck", DOWNLOAD))


def install(tmp_path, falwick, ini, writer_ini=None):
    """A program directory with a space in its path: SampleHost.exe with its INI, the
    given Falwick.EXE, and a writer.ini when given."""
    directory = tmp_path / "Program Files" / "Writer"
    directory.mkdir(parents=True)
    shutil.copyfile(HOST, directory / "SampleHost.exe")
    shutil.copyfile(falwick, directory / "Falwick.EXE")
    (directory / "SampleHost.ini").write_text(ini)
    if writer_ini is not None:
        (directory / "writer.ini").write_text(writer_ini)
    return directory


def falwick_runs_ended(wine, directory):
    """Waits until no process of the directory's Falwick.EXE runs. Wine shows a started
    process's command line with the program's Windows path first."""
    name = wine.windows_path(directory / "Falwick.EXE").lower()

    def none_running():
        for entry in os.listdir("/proc"):
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                    first = cmdline.read().split(b"\0")[0].decode("latin-1").lower()
            except OSError:
                continue
            if first == name:
                return False
        return True

    assert wait_until(none_running), "a Falwick.EXE run did not end"


def drive(wine, out, *actions):
    status, _ = wine.run(DRIVER, wine.windows_path(out), *actions)
    assert status == 0, "host driver failed (status %d)" % status


def run_host(wine, directory, out, *actions):
    """Starts the host, performs the driver's actions, saves its log and closes it; the
    log's lines once every Falwick it started has ended."""
    host = wine.start(directory / "SampleHost.exe")
    try:
        drive(wine, out, *actions, "save", "close")
        assert host.wait(timeout=30) == 0
    finally:
        if host.poll() is None:
            host.kill()
            host.wait()
    falwick_runs_ended(wine, directory)
    return out.read_text(encoding="latin-1").splitlines()


# The disable-checking value, read from the file, section and key the host names for
# Falwick, decides what the host does at its start. The explicit check always starts.
@pytest.mark.parametrize("settings_file, in_host_ini, in_writer_ini, checks_at_start", [
    ("SampleHost.ini", "", None, True),
    ("SampleHost.ini", SETTINGS % "0", None, True),
    ("SampleHost.ini", SETTINGS % "1", None, False),
    ("SampleHost.ini", "[Other]\r\nNoUpdateCheck=1\r\n", None, True),
    ("writer.ini", "", SETTINGS % "2", False),
    ("writer.ini", SETTINGS % "1", None, True),  # only the file named for Falwick counts
], ids=["missing", "0", "1", "other-section", "other-file", "not-that-file"])
def test_the_host_checks_at_start_unless_disabled_and_on_request(
        wine, browser, tmp_path, settings_file, in_host_ini, in_writer_ini, checks_at_start):
    directory = install(tmp_path, RECORDER, host_ini(settings_file) + in_host_ini,
                        in_writer_ini)
    log = run_host(wine, directory, tmp_path / "log.txt", "click")

    expected = ([tokens("PU", settings_file)] if checks_at_start else []) + \
        [tokens("PX", settings_file)]
    assert browser.launches() == expected
    falwick = wine.windows_path(directory / "Falwick.EXE")
    started = [line for line in log if line.startswith("Started: ")]
    assert started == ['Started: "%s" %s' % (falwick, line) for line in expected]
    setting = "Setting: [Options] NoUpdateCheck in %s is " % wine.windows_path(
        directory / settings_file)
    assert log[0].startswith(setting), log
    assert log[0].endswith("enabled." if checks_at_start else "disabled.")


def test_the_real_falwick_checks_at_start_and_opens_the_page_on_request(
        wine, browser, server, tmp_path):
    server.serve("/info.txt", NOT_NEWER)
    directory = install(tmp_path, EXE, host_ini(info_url=server.url("/info.txt")))
    host = wine.start(directory / "SampleHost.exe")
    try:
        drive(wine, tmp_path / "log.txt")
        falwick_runs_ended(wine, directory)
        # The check at start-up found nothing newer: nothing shown, nothing opened.
        assert len(server.requests) == 1 and browser_starts(browser, wine) == []
        drive(wine, tmp_path / "log.txt", "click", "close")
        assert host.wait(timeout=30) == 0
    finally:
        if host.poll() is None:
            host.kill()
            host.wait()
    falwick_runs_ended(wine, directory)
    assert [(r.path, r.user_agent) for r in server.requests] == \
        [("/info.txt", "Orvanel Program Update")] * 2
    assert browser_starts(browser, wine) == [DOWNLOAD]
    assert sorted(os.listdir(directory)) == ["Falwick.EXE", "SampleHost.exe", "SampleHost.ini"]
