"""Falwick and the files around it: read-only places, a missing settings file, unusual
and over-long program directories, names that collide, two runs at once; the host's
settings kept intact; and nothing written outside the program directory.

Wine runs as root here, so Unix permissions stop nothing, and Wine's DOS read-only
attribute (`attrib +r`, which clears the Unix write bits) only stops deletion: root
still opens the file for writing. What stops root as Windows stops a user is the
immutable flag (`chattr +i`); read-only cases use it, on top of the DOS attribute for
files, and check first that Wine is really stopped."""

import os

import pytest

from harness import ini
from harness.falwick import INTERNET_CACHE, changed, snapshot
from harness.runs import Case, harness_file
from harness.sample import HOST_SETTINGS, MUCH_NEWER, NOT_NEWER
from harness.server import response

# A host's settings file as hosts write them: comments, blank lines, CR LF, sections
# with the same key, spaces around "=", values in the ANSI code page (1252) and one in
# UTF-8 (bytes the host stored without knowing).
REALISTIC_SETTINGS = "\r\n".join([
    "; Writer 3.0 settings",
    "; Do not edit while Writer is running.",
    "",
    "[General]",
    "Language=Deutsch",
    "UserName=Jürgen Müller",
    "Company=Café Zoë & Søn",
    "LastFile=C:\\Dokumente\\Übersicht März.doc",
    "",
    "[Options]",
    "AutoSave=1",
    "NoUpdateCheck=1",
    "Backup = yes",
    "; the update check stores its box above",
    "Units=cm",
    "",
    "[Recent Files]",
    "File1=C:\\Dokumente\\Brief an Frau Weiß.doc",
    "File2=D:\\Projekte\\Ärger ½.txt",
    "",
    "[Plugins]",
    "NoUpdateCheck=0",
    "Spell=1",
    "",
    "[Printer]",
    "Name=Laser 4 (Büro)",
    "Paper=A4",
    "",
]).encode("cp1252").replace(b"Units=cm", "Greeting=Grüße".encode("utf-8") + b"\r\nUnits=cm")


def make_read_only(wine, immutable, path):
    """A file Wine can neither delete nor open for writing: the DOS read-only attribute
    and the immutable flag."""
    # Under heavy load the attribute was once seen not to stick: set it until it shows.
    for _ in range(3):
        wine.cmd("attrib", "+r", wine.windows_path(path))
        listing = wine.cmd("attrib", wine.windows_path(path))
        if "R" in listing.split(wine.windows_path(path))[0]:
            break
    assert "R" in listing.split(wine.windows_path(path))[0], listing
    immutable(path)
    assert not wine.may_write(path)


def ansi_code_page(wine):
    return wine.reg_value(r"HKLM\System\CurrentControlSet\Control\Nls\CodePage", "ACP")


# ---------------------------------------------------------------------------------
# Read-only places

def test_a_read_only_program_directory_gets_no_download_so_nothing_is_announced(
        runner, wine, immutable):
    def lock(directory):
        immutable(directory)
        assert not wine.may_write(directory / "probe.txt")

    outcomes = runner.together({
        "locked_directory": Case(response(MUCH_NEWER), prepare=lock),
        "locked_directory_px": Case(response(MUCH_NEWER), prepare=lock, mode="PX"),
    })
    # The newer version is fetched but cannot be stored: nothing newer is read.
    outcomes["locked_directory"].check(dialog=False, browser=False)
    outcomes["locked_directory_px"].check(dialog=False, browser=True)
    for outcome in outcomes.values():
        assert len(outcome.requests) == 1


def test_a_read_only_stale_info_file_is_read_in_place_of_the_download(runner, wine,
                                                                        immutable):
    # It can be neither deleted nor re-created: the download is lost and the stale
    # file, which announces a newer version, is what gets read. It stays behind.
    outcome = runner.run("locked_info", Case(
        response(NOT_NEWER), stale_info=MUCH_NEWER,
        prepare=lambda directory: make_read_only(wine, immutable, directory / "info.txt")))
    outcome.check(dialog=True, browser=False, leftover={"info.txt"})
    assert (outcome.program_dir / "info.txt").read_bytes() == MUCH_NEWER
    assert len(outcome.requests) == 1


def test_a_read_only_settings_file_is_left_unchanged_without_a_complaint(runner, wine,
                                                                         immutable):
    outcome = runner.run("locked_settings", Case(
        response(MUCH_NEWER),
        prepare=lambda directory: make_read_only(wine, immutable, directory / "writer.ini")),
        actions=("tick", "no"))
    outcome.check(dialog=True, browser=False)
    assert outcome.settings_after == HOST_SETTINGS


def test_a_missing_settings_file_is_created_with_the_one_value(runner):
    outcome = runner.run("no_settings", Case(response(MUCH_NEWER), settings=None),
                         actions=("tick", "no"))
    outcome.check(dialog=True, browser=False)
    assert ini.sections(outcome.settings_after) == ({"options": [("noupdatecheck", "1")]}, [])


# ---------------------------------------------------------------------------------
# Where the program lies

def test_a_program_directory_with_spaces_and_ansi_letters_works_throughout(runner, wine):
    assert ansi_code_page(wine) == "1252"
    outcome = runner.run("ansi_directory",
                         Case(response(MUCH_NEWER), directory="Wrïter Pro é ü"),
                         actions=("tick", "yes"))
    assert outcome.program_dir.name == "Wrïter Pro é ü"
    outcome.check(dialog=True, browser=True)
    sections, _ = ini.sections(HOST_SETTINGS)
    assert ini.sections(outcome.settings_after) == (
        ini.with_value(sections, "Options", "NoUpdateCheck", "1"), [])


def directory_for_module_path(runner, name, length):
    """A program directory (below "Program Files") whose Falwick.EXE has a Windows
    path of exactly `length` characters."""
    base = "Z:" + str(runner.base / name / "Program Files").replace("/", "\\")
    room = length - len(base) - len("\\") - len("\\Falwick.EXE")
    parts = []
    while room > 0:
        part = min(room, 120)
        if room - part == 1:
            part -= 2  # no one-letter remainder after a separator
        parts.append("d" * part)
        room -= part + 1
    assert room == -1, "cannot reach the length exactly"
    return "/".join(parts)


def test_a_module_path_that_fills_260_characters_ends_the_run_before_anything(runner):
    # 259 characters still fit (with the terminating NUL): the check runs.
    fits = directory_for_module_path(runner, "path_259", 259)
    too_long = directory_for_module_path(runner, "path_260", 260)
    outcomes = runner.together({
        "path_259": Case(response(NOT_NEWER), mode="PX", stale_info=MUCH_NEWER, directory=fits),
        "path_260": Case(response(NOT_NEWER), mode="PX", stale_info=MUCH_NEWER,
                         directory=too_long),
    })
    assert len("Z:" + str(outcomes["path_259"].program_dir / "Falwick.EXE")) == 259
    assert len("Z:" + str(outcomes["path_260"].program_dir / "Falwick.EXE")) == 260
    outcomes["path_259"].check(dialog=False, browser=True)
    assert len(outcomes["path_259"].requests) == 1
    # Nothing at all: no request, the stale file not deleted, no page opened.
    too_long = outcomes["path_260"]
    too_long.check(dialog=False, browser=False, leftover={"info.txt"})
    assert too_long.requests == []
    assert (too_long.program_dir / "info.txt").read_bytes() == MUCH_NEWER


# Names Windows resolves to the host's settings file, given as the info file, and the
# other names the file itself has (its short name, links). Wine has no data streams, and
# makes up a short name for every long one.
LONG_SETTINGS = "writer settings.ini"
SAME_FILE_NAMES = {
    "same_name": "writer.ini",
    "upper_case": "WRITER.INI",
    "trailing_space": "writer.ini ",
    "trailing_dot": "writer.ini.",
    "trailing_dots": "writer.ini..",
    "dot_step": ".\\writer.ini",
    "dot_dot_step": "sub\\..\\writer.ini",  # no "sub" folder
    "short_name": "WRIT~WLI.INI",  # of LONG_SETTINGS
    "hard_link": "linked.ini",
    "symbolic_link": "pointer.ini",
}


def test_every_name_of_the_settings_file_as_the_info_file_ends_the_run_untouched(
        runner, wine):
    def long_settings(directory):
        (directory / LONG_SETTINGS).write_bytes(REALISTIC_SETTINGS)
        listing = wine.cmd("dir", "/x", wine.windows_path(directory))
        print(listing)
        assert "WRIT~WLI.INI " + LONG_SETTINGS in listing

    def linked(directory):
        os.link(directory / "writer.ini", directory / "linked.ini")

    def pointer(directory):
        os.symlink("writer.ini", directory / "pointer.ini")

    prepare = {"short_name": long_settings, "hard_link": linked, "symbolic_link": pointer}
    other_name = {"short_name": LONG_SETTINGS, "hard_link": "linked.ini",
                  "symbolic_link": "pointer.ini"}
    outcomes = runner.together({
        name: Case(response(MUCH_NEWER), mode="PX", settings=REALISTIC_SETTINGS,
                   prepare=prepare.get(name),
                   overrides={"info_file": info_file,
                              "settings_file": LONG_SETTINGS if name == "short_name"
                              else "writer.ini"})
        for name, info_file in SAME_FILE_NAMES.items()})
    for name, outcome in outcomes.items():
        # Nothing requested, nothing deleted or written, nothing opened.
        leftover = {other_name[name]} if name in other_name else set()
        outcome.check(dialog=False, browser=False, leftover=leftover)
        assert outcome.requests == [], name
        assert outcome.settings_after == REALISTIC_SETTINGS, name
        for left in leftover:
            assert (outcome.program_dir / left).read_bytes() == REALISTIC_SETTINGS, name


def test_two_runs_started_together_in_one_directory_both_end_and_keep_the_settings(
        runner, tmp_path):
    shared = tmp_path / "Program Files" / "Writer"
    case = Case(response(MUCH_NEWER), settings=REALISTIC_SETTINGS, shared_directory=shared)
    outcomes = runner.together({"twin_a": case, "twin_b": case}, actions=("untick", "no"))
    for outcome in outcomes.values():
        assert outcome.exit_code == 0
    assert sorted(os.listdir(shared)) == ["Falwick.EXE", "writer.ini"]
    after = (shared / "writer.ini").read_bytes()
    before_sections, before_comments = ini.sections(REALISTIC_SETTINGS)
    shown = [o for o in outcomes.values() if o.dialog is not None]
    expected = (ini.with_value(before_sections, "Options", "NoUpdateCheck", "0") if shown
                else before_sections)
    assert ini.sections(after) == (expected, before_comments)


def test_runs_that_open_the_browser_at_the_same_moment_each_start_it(runner):
    # They look the browser up through one placeholder file in the temporary directory,
    # which goes with the process that made it, maybe while another is using it. The
    # race is lost now and then only: two crowds of twelve give it a fair chance.
    for crowd in range(2):
        outcomes = runner.together({"crowd_%d_%d" % (crowd, number):
                                    Case(response(NOT_NEWER), mode="PX") for number in range(12)})
        for outcome in outcomes.values():
            outcome.check(dialog=False, browser=True)


# ---------------------------------------------------------------------------------
# The host's settings keep everything

# An existing key changed in place, a new key in an existing section, a new section.
PLACES = [("Options", "NoUpdateCheck"), ("Options", "CheckDisabled"), ("Update", "NoUpdateCheck")]


@pytest.fixture(scope="module")
def realistic_runs(runner):
    return runner.together({
        "realistic_%d" % number: Case(response(MUCH_NEWER), settings=REALISTIC_SETTINGS,
                                      overrides={"section": section, "key": key})
        for number, (section, key) in enumerate(PLACES)}, actions=("untick", "no"))


@pytest.mark.parametrize("number", range(len(PLACES)))
def test_the_settings_keep_every_section_key_value_and_comment(realistic_runs, number):
    section, key = PLACES[number]
    outcome = realistic_runs["realistic_%d" % number]
    outcome.check(dialog=True, browser=False)
    sections, comments = ini.sections(REALISTIC_SETTINGS)
    assert ini.sections(outcome.settings_after) == (
        ini.with_value(sections, section, key, "0"), comments)
    # The bytes of the values are kept, whatever their encoding.
    for value in ("Jürgen Müller".encode("cp1252"), "Grüße".encode("utf-8"),
                  "Ärger ½".encode("cp1252")):
        assert value in outcome.settings_after


# ---------------------------------------------------------------------------------
# What the program never does

def test_a_full_run_writes_nothing_outside_its_directory_and_starts_only_the_download_url(
        runner, wine):
    drive_c = wine.prefix / "drive_c"
    download_url = "http://127.0.0.1:9/get/Writer Setup.htm?from=3.0.012&lang=de"
    before = {}

    def take_snapshot(directory):
        before.update(snapshot(drive_c, runner.base))

    info = MUCH_NEWER + b"MESSAGE1=See http://127.0.0.1:9/other.htm\r\n"
    outcome = runner.run("side_effects", Case(
        response(info), prepare=take_snapshot, overrides={"download_url": download_url}),
        actions=("tick", "yes"))
    outcome.check(dialog=True, browser=True)
    assert outcome.browser == [download_url]
    assert [r.path for r in outcome.requests] == ["/info.txt"]

    written = changed(before, snapshot(drive_c, runner.base))
    ours = {str(outcome.program_dir / "writer.ini"), str(outcome.browser_log)}
    tooling = {path for path in written if harness_file(path)}
    cache = {path for path in written if INTERNET_CACHE in path}
    assert written - ours - tooling - cache == set()
