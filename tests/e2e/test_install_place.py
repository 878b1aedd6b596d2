"""Falwick where hosts install it: on a disk that is full or fills up (a small tmpfs as
the program directory), and in a directory whose name the ANSI code page cannot spell.

A download larger than the free space is stored as far as it fits, and what fits counts.
The host's settings file is never cut short: when the disk is full as the notice is
answered, the box's new state is not stored and the file stays as it was, byte for
byte; with room for the file rewritten whole, only the one value is added.

Under a Cyrillic name, which the ANSI functions spell with "?" for the letters, Falwick
takes its directory, and the temporary directory the browser lookup uses, in their short
(8.3) form: it announces, stores the answer in its own settings file, opens the page,
and writes nothing anywhere else."""

import os
import subprocess

import pytest

from harness import ini
from harness.falwick import INTERNET_CACHE, changed, snapshot
from harness.runs import Case, harness_file
from harness.sample import HOST_SETTINGS, MUCH_NEWER, NOT_NEWER
from harness.server import response

PAGE = 4096
FILLER = "filler.bin"  # what fills the disk; it lies beside Falwick.EXE
LINE = b"#" * 62 + b"\r\n"


def host_settings(size, with_value=False):
    """A host's settings file of exactly `size` bytes as Wine's profile writer writes
    it (CR LF, no blank lines, no spaces around "="), [Options] first and a last
    section at the end; with_value: as it is with NoUpdateCheck=1 added to [Options]."""
    head = b"[Options]\r\nLanguage=English\r\nAutoSave=1\r\n"
    added = b"NoUpdateCheck=1\r\n" if with_value else b""
    sections = b"".join(b"[Plugin%03d]\r\nName=Plugin number %d\r\nEnabled=1\r\n" % (n, n)
                        for n in range(165))
    tail = b"[End]\r\nLast="
    padding = size - len(head) - len(sections) - len(tail) - 2
    assert padding > 0
    return head + added + sections + tail + b"x" * padding + b"\r\n"


def leave_free(directory, free):
    """Fills the disk of `directory` with FILLER (grown if it exists) until exactly
    `free` bytes (whole pages) are left."""
    status = os.statvfs(directory)
    fill = status.f_bavail * status.f_frsize - free
    assert fill >= 0 and free % PAGE == 0
    with open(directory / FILLER, "ab") as filler:
        filler.write(b"\0" * fill)
    status = os.statvfs(directory)
    assert status.f_bavail * status.f_frsize == free


@pytest.fixture(scope="module")
def small_disk(tmp_path_factory):
    """mount(): a fresh 256 KiB tmpfs as a program directory; unmounted at the end."""
    mounted = []

    def mount():
        path = tmp_path_factory.mktemp("disk") / "Program Files" / "Writer"
        path.mkdir(parents=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", str(path)],
                       check=True)
        mounted.append(path)
        return path

    yield mount
    for path in mounted:
        subprocess.run(["umount", str(path)], check=True)


# ---------------------------------------------------------------------------------
# A full disk

# name: (mode, the body, bytes left free, the notice shown)
DOWNLOADS = {
    "fits_in_part": ("PU", MUCH_NEWER + LINE * 1000, 2 * PAGE, True),
    "newer_past_what_fits": ("PX", NOT_NEWER + LINE * 200 + MUCH_NEWER + LINE * 1000,
                             2 * PAGE, False),
    "nothing_fits": ("PU", MUCH_NEWER, 0, False),
    "nothing_fits_px": ("PX", MUCH_NEWER, 0, False),
}


@pytest.fixture(scope="module")
def downloads(runner, small_disk):
    return runner.together({
        name: Case(response(body), mode=mode, shared_directory=small_disk(),
                   prepare=lambda directory, free=free: leave_free(directory, free))
        for name, (mode, body, free, _) in DOWNLOADS.items()}, actions=("tick", "no"))


@pytest.mark.parametrize("name", DOWNLOADS)
def test_a_download_larger_than_the_free_space_counts_as_far_as_it_fits(downloads, name):
    mode, _, _, shown = DOWNLOADS[name]
    outcome = downloads[name]
    outcome.check(dialog=shown, browser=mode == "PX", leftover={FILLER})
    assert len(outcome.requests) == 1
    if shown:
        assert "Version 9.0.001 " in outcome.dialog_text()
        # The partial download was deleted before the notice: room for the setting.
        sections, _ = ini.sections(HOST_SETTINGS)
        assert ini.sections(outcome.settings_after) == (
            ini.with_value(sections, "Options", "NoUpdateCheck", "1"), [])


# name: (bytes left free as the notice is answered, the file expected afterwards)
SETTINGS_SIZE = 8180  # two pages; the added value would take it past them
SETTING_WRITES = {
    "disk_full": (0, host_settings(SETTINGS_SIZE)),
    "room_for_the_file": (4 * PAGE, host_settings(SETTINGS_SIZE, with_value=True)),
}


@pytest.mark.parametrize("name", SETTING_WRITES)
def test_the_hosts_settings_stay_whole_when_the_disk_fills_up_before_the_answer(
        runner, small_disk, name):
    free, expected = SETTING_WRITES[name]
    directory = small_disk()
    run = runner.run(name, Case(response(MUCH_NEWER), shared_directory=directory,
                                settings=host_settings(SETTINGS_SIZE)),
                     ("tick", "no"), on_shown=lambda dialog: leave_free(directory, free))
    assert run.shown and run.exit_code == 0
    after = run.settings_after
    print("%s: the settings file had %d bytes, has %d" % (name, SETTINGS_SIZE, len(after)))
    assert after == expected
    assert run.files == {"Falwick.EXE", "writer.ini", FILLER}


# ---------------------------------------------------------------------------------
# A directory outside the ANSI code page

def test_a_directory_named_outside_the_ansi_code_page_announces_in_its_short_name(
        runner, wine):
    drive_c = wine.prefix / "drive_c"
    before = {}

    def take_snapshot(directory):
        before.update(snapshot(drive_c, runner.base))
        print(wine.cmd("dir", "/x", wine.windows_path(directory.parent)))

    outcome = runner.run("cyrillic", Case(response(MUCH_NEWER), directory="Писатель",
                                          prepare=take_snapshot), actions=("tick", "yes"))
    assert outcome.program_dir.name == "Писатель"
    outcome.check(dialog=True, browser=True)
    sections, _ = ini.sections(HOST_SETTINGS)
    assert ini.sections(outcome.settings_after) == (
        ini.with_value(sections, "Options", "NoUpdateCheck", "1"), [])
    written = changed(before, snapshot(drive_c, runner.base))
    ours = {str(outcome.program_dir / "writer.ini"), str(outcome.browser_log)}
    cache = {path for path in written if INTERNET_CACHE in path}
    tooling = {path for path in written if harness_file(path)}
    assert written - ours - cache - tooling == set()


@pytest.fixture
def cyrillic_temp(wine):
    """The user's temporary directory (HKCU\\Environment TMP, which Wine's processes
    take over the Unix environment's) in a folder named outside the ANSI code page."""
    key, name = r"HKCU\Environment", "TMP"
    old = wine.reg_value(key, name)
    folder = wine.prefix / "drive_c" / "Временные"
    folder.mkdir(exist_ok=True)
    wine.reg_add(key, name, "C:\\Временные")
    try:
        yield folder
    finally:
        wine.reg_add(key, name, old)


def test_a_temporary_directory_named_outside_the_ansi_code_page_still_opens_the_page(
        runner, cyrillic_temp):
    outcome = runner.run("cyrillic_temp", Case(response(MUCH_NEWER)), actions=("yes",))
    outcome.check(dialog=True, browser=True)
    assert not (cyrillic_temp / "www.htm").exists()  # the placeholder went with the process
