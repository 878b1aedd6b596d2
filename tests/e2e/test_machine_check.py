"""falwick-info run's machine checks with Wine's own answers, read from `run --json` in
a test's program directory: WinVerifyTrust on the unsigned Falwick.EXE, the .htm program
the run found (the tests' fake browser) beside the https program AssocQueryStringA
gives (Wine's browser launcher), the download URL, the settings file's first bytes, and
the program directory's access list. The info URL leads nowhere: the run fetches
nothing, and the machine is checked all the same.

Wine enforces no access lists and keeps none: it answers GetNamedSecurityInfoA from the
Unix mode bits (SYSTEM and the owner full control, Everyone what "other" may do), and a
list set with SetNamedSecurityInfoA keeps only what those bits can say (an ACE for Users
is dropped; Wine's icacls changes nothing). So the unsafe directory is made here the way
Wine can show it, writable by every Unix user, which Wine reports as Everyone with modify
rights; Users, INTERACTIVE, deny entries and the rest are proven against access lists
given as data (tests/unit/directory_access_test.cpp)."""

import os
import shutil

import pytest

from harness import sample

URL = "https://www.orvanel.example/download/writer.htm"


@pytest.fixture
def probe(wine, info_tool, program):
    """probe(url, settings): `falwick-info run --json` in `program` with that download URL
    and settings file: (report, its "machine" step, {warning id: warning})."""
    def run(url=URL, settings=b"[Options]\r\nNoUpdateCheck=0\r\n"):
        program.file("writer.ini").write_bytes(settings)
        line = sample.command_line(sample.tokens(info_file="writer-update.txt",
                                                 download_url=url))
        run = info_tool.dry_run(line, "--dir", wine.windows_path(program.path))
        assert run.data is not None, run.error
        assert run.data["reason"] == "url-not-opened", run.data["sentence"]
        report = run.data
        return report, report["steps"]["machine"], {w["id"]: w for w in report["findings"]}
    return run


def test_wine_answers_an_unsigned_program_and_a_htm_program_that_is_not_the_browser(
        wine, program, probe):
    os.chmod(program.path, 0o755)
    report, machine, warnings = probe()
    assert machine["signature"] == {"result": "0x800B0100", "verdict": "unsigned"}
    # The run's own findings first (the info URL is plain http, and leads nowhere), the
    # machine's after.
    assert list(warnings) == ["http-not-https", "url-not-opened", "falwick-unsigned",
                              "htm-program-not-https-browser"]
    # One .htm program: the one the run found, which Falwick would start.
    assert machine["htm_program"] == report["steps"]["browser"]["htm_program"]
    assert machine["htm_program"].lower().endswith("browser_recorder.exe")
    assert machine["https_program"].lower().endswith("winebrowser.exe")
    [directory] = machine["directories"]
    assert directory["read"] and directory["writers"] == []
    assert directory["path"] == wine.windows_path(program.path)


def test_a_directory_every_user_may_write_is_named_with_the_principal_and_right(program, probe):
    os.chmod(program.path, 0o777)
    try:
        _, _, warnings = probe()
    finally:
        os.chmod(program.path, 0o755)
    warning = warnings["directory-writable-by-others"]
    assert {k: warning[k] for k in ("principal", "sid", "right", "applies_to")} == {
        "principal": "Everyone", "sid": "S-1-1-0", "right": "modify",
        "applies_to": "directory"}
    assert "grants Everyone modify rights" in warning["text"]


def test_a_url_that_splits_and_a_settings_file_with_a_utf8_mark(program, probe):
    _, _, warnings = probe(URL.replace("writer", "my writer"),
                           b"\xef\xbb\xbf[Options]\r\nNoUpdateCheck=1\r\n")
    assert warnings["download-url-splits"]["characters"] == " "
    assert "a space (write %20)" in warnings["download-url-splits"]["text"]
    assert warnings["settings-utf8-bom"]["path"].endswith("writer.ini")


def test_a_folder_the_code_page_cannot_spell_is_named_short_and_a_url_it_changes(
        wine, program, info_tool):
    # Wine's code page is 1252: Cyrillic letters and fullwidth quotation marks are not in it.
    folder = program.path / "Писатель"
    folder.mkdir()
    shutil.copy(program.path / "Falwick.EXE", folder)
    line = sample.command_line(sample.tokens(info_file="writer-update.txt",
                                             download_url=URL + "?q=\uff02x\uff02"))
    run = info_tool.dry_run(line, "--dir", wine.windows_path(folder))
    assert run.data is not None, run.error
    machine = run.data["steps"]["machine"]
    print(machine["falwick_spelling"], machine["temp_spelling"])
    spelled = machine["falwick_spelling"]
    assert spelled["spelling"] == "short" and "~" in spelled["path"], spelled
    assert run.data["steps"]["paths"]["program_directory"] + "Falwick.EXE" == spelled["path"]
    assert machine["temp_spelling"]["spelling"] == "as-it-is"
    warning = {w["id"]: w for w in run.data["findings"]}["url-changed-by-code-page"]
    assert (warning["url"], warning["characters"]) == ("download", 'U+FF02 as ", U+FF02 as "')
