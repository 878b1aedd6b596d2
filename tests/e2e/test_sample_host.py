"""The sample host product (examples/host) as a user meets it: at its start it starts
Falwick.EXE beside it for a check, unless its settings file says the user disabled
that, and its button "Check for updates now" starts an explicit check. A stand-in
Falwick.EXE (the fake browser, tools/browser_recorder.cpp, which records the argument
string it was given) shows exactly what the host passed; the host's own window, read
by tools/host_driver.cpp, shows the whole command line. One test runs the real
Falwick."""

import os
import shutil

import pytest

from harness import ini, sample
from harness.falwick import ProgramDirectory
from harness.host import EXE, INI, host_ini
from harness.installer import InstalledHost, local_app_data
from harness.runs import Case
from harness.wine import wait_until

DOWNLOAD = "http://127.0.0.1:9/Writer Setup.htm?from=update&x=1"  # as the host's INI has it
# What the host passes: the space percent-encoded, which would otherwise reach the browser
# as the end of one argument and the start of another.
PASSED = DOWNLOAD.replace(" ", "%20")
ENCODED = ("Download URL: percent-encoded (space), so that the browser is given it as one "
           "argument: " + PASSED)
SETTINGS = "[Options]\r\nNoUpdateCheck=%s\r\n"


def request(mode="PU", settings_file="SampleHost.ini", download_url=DOWNLOAD, **values):
    """The tokens of the test's host: the sample's, with a product name and a download
    URL of its own."""
    return sample.tokens(product="My Writer", mode=mode, info_file="writer-update.txt",
                         settings_file=settings_file, download_url=download_url, **values)


def tokens(mode, settings_file="SampleHost.ini"):
    """The command line the host passes to Falwick."""
    return sample.command_line(request(mode, settings_file, download_url=PASSED))


@pytest.fixture
def install(programs, tmp_path):
    """install(falwick, ini, writer_ini=None): a program directory with a space in its
    path: SampleHost.exe with its INI, the given Falwick.EXE, and a writer.ini when
    given."""
    def lay_out(falwick, ini, writer_ini=None):
        files = {INI: ini.encode(), "writer.ini": writer_ini and writer_ini.encode()}
        return ProgramDirectory(tmp_path / "Program Files" / "Writer", falwick, files,
                                {EXE: programs.sample_host}).path

    return lay_out


@pytest.fixture
def drive(wine, programs):
    """drive(out, *actions): the host driver's actions on the host's window."""
    def run(out, *actions):
        status, _ = wine.run(programs.host_driver, wine.windows_path(out), *actions)
        assert status == 0, "host driver failed (status %d)" % status

    return run


def falwick_runs_ended(wine, directory):
    """Waits until no process of the directory's Falwick.EXE runs."""
    assert wait_until(lambda: not wine.running(directory / "Falwick.EXE")), \
        "a Falwick.EXE run did not end"


def started_up(wine, drive, directory, out):
    """Waits until the host's check at start-up, if it started one, has ended. The host
    starts it before it handles any message, so it has been started once the driver has
    read the log. The stand-in browsers append to one file, and under Wine two appends
    at once can overwrite each other: the runs must not overlap."""
    drive(out, "save")
    falwick_runs_ended(wine, directory)


def run_host(wine, drive, directory, out, *actions, started=lambda: None):
    """Starts the host, lets its check at start-up end, calls `started`, performs the
    driver's actions, saves its log and closes it; the log's lines once every Falwick it
    started has ended."""
    host = wine.start(directory / EXE)
    try:
        started_up(wine, drive, directory, out)
        started()
        drive(out, *actions, "save", "close")
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
        wine, programs, install, drive, browser, tmp_path, settings_file, in_host_ini,
        in_writer_ini, checks_at_start):
    directory = install(programs.browser_recorder,
                        host_ini(request(settings_file=settings_file)) + in_host_ini,
                        in_writer_ini)
    log = run_host(wine, drive, directory, tmp_path / "log.txt", "click")

    expected = ([tokens("PU", settings_file)] if checks_at_start else []) + \
        [tokens("PX", settings_file)]
    assert browser.launches() == expected
    falwick = wine.windows_path(directory / "Falwick.EXE")
    started = [line for line in log if line.startswith("Started: ")]
    assert started == ['Started: "%s" %s' % (falwick, line) for line in expected]
    setting = "Setting: [Options] NoUpdateCheck in %s is " % wine.windows_path(
        directory / settings_file)
    assert log[0] == ENCODED and log[1].startswith(setting), log
    assert log[1].endswith("enabled." if checks_at_start else "disabled.")


def test_the_real_falwick_checks_at_start_and_opens_the_page_on_request(
        wine, programs, install, drive, browser_starts, server, tmp_path):
    server.serve("/info.txt", sample.NOT_NEWER)
    directory = install(programs.falwick, host_ini(request(info_url=server.url("/info.txt"))))

    def nothing_shown_or_opened():
        # The check at start-up found nothing newer: nothing shown, nothing opened.
        assert len(server.requests) == 1 and browser_starts() == []

    run_host(wine, drive, directory, tmp_path / "log.txt", "click",
             started=nothing_shown_or_opened)
    assert [(r.path, r.user_agent) for r in server.requests] == \
        [("/info.txt", "Orvanel Program Update")] * 2
    assert browser_starts() == [PASSED]
    assert sorted(os.listdir(directory)) == ["Falwick.EXE", "SampleHost.exe", "SampleHost.ini"]


# Installed for all users: each user's Falwick and settings in a per-user folder

USER_FOLDER = r"Falwick e2e\Writer"  # UserFolder, under the user's %LOCALAPPDATA%
USER_SETTINGS = b"[Options]\r\nNoUpdateCheck=0\r\nTheme=Dark\r\n"


@pytest.fixture
def user_folder(wine):
    """The per-user folder the host is configured with, as (Windows path, Unix path);
    removed after the test."""
    windows = local_app_data(wine) + "\\" + USER_FOLDER
    path = wine.unix_path(windows)
    shutil.rmtree(path.parent, ignore_errors=True)
    yield windows, path
    shutil.rmtree(path.parent, ignore_errors=True)


def contents(directory):
    return {p.name: p.read_bytes() for p in directory.iterdir()}


# The host copies Falwick.EXE from its install folder into the user's folder when the
# copy is missing or differs, makes the user's settings from the installed defaults only
# when the user has none, and starts Falwick there; the install folder stays as it was.
@pytest.mark.parametrize("before", ["no_folder", "stale_copy"])
def test_installed_for_all_users_the_host_runs_falwick_from_the_users_own_folder(
        wine, programs, runner, install, server, tmp_path, user_folder, before):
    windows_folder, folder = user_folder
    server.serve("/info.txt", sample.NEWER)
    chosen = request(info_url=server.url("/info.txt"), settings_file="writer.ini")
    directory = install(programs.falwick, host_ini(chosen) + "UserFolder=%s\r\n" % USER_FOLDER,
                        sample.HOST_SETTINGS.decode("latin-1"))
    user_settings = sample.HOST_SETTINGS
    if before == "stale_copy":
        folder.mkdir(parents=True)
        shutil.copyfile(programs.browser_recorder, folder / "Falwick.EXE")
        user_settings = USER_SETTINGS
        (folder / "writer.ini").write_bytes(user_settings)
    installed = contents(directory)

    host = InstalledHost(wine, programs, directory, tmp_path)
    host.start()
    try:
        falwick = host.falwick()
        assert falwick is not None, host.log()
        run = runner.run("user-folder-" + before,
                         Case(program=ProgramDirectory(folder, None), server=server,
                              start=lambda: falwick), ("tick", "no"))
        assert run.shown and run.exit_code == 0
        log = host.log()
    finally:
        host.close()
    started = [line for line in log if line.startswith("Started: ")]
    assert started == ['Started: "%s\\Falwick.EXE" %s' % (windows_folder,
        sample.command_line(request(info_url=server.url("/info.txt"), settings_file="writer.ini",
                                    download_url=PASSED)))]
    assert contents(directory) == installed
    assert sorted(contents(folder)) == ["Falwick.EXE", "writer.ini"]
    assert (folder / "Falwick.EXE").read_bytes() == programs.falwick.read_bytes()
    sections, comments = ini.sections(user_settings)
    assert ini.sections((folder / "writer.ini").read_bytes()) == (
        ini.with_value(sections, "Options", "NoUpdateCheck", "1"), comments)
