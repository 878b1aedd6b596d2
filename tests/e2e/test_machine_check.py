"""falwick-info run's machine checks with Wine's own answers (through machine_probe, which
prints them as JSON): WinVerifyTrust on the unsigned Falwick.EXE, AssocQueryStringA for
.htm (the tests' fake browser) beside https (Wine's browser launcher), the download URL,
the settings file's first bytes, and a program directory's access list.

Wine enforces no access lists and keeps none: it answers GetNamedSecurityInfoA from the
Unix mode bits (SYSTEM and the owner full control, Everyone what "other" may do), and a
list set with SetNamedSecurityInfoA keeps only what those bits can say (an ACE for Users
is dropped; Wine's icacls changes nothing). So the unsafe directory is made here the way
Wine can show it, writable by every Unix user, which Wine reports as Everyone with modify
rights; Users, INTERACTIVE, deny entries and the rest are proven against access lists
given as data (tests/unit/directory_access_test.cpp)."""

import json
import os

import pytest


URL = "https://www.orvanel.example/download/writer.htm"


@pytest.fixture
def probe(wine, programs, program):
    """probe(url, settings): the machine checks of `program` with that download URL and
    settings file, as Windows answers them: (report, {warning id: warning})."""
    def run(url=URL, settings=b"[Options]\r\nNoUpdateCheck=0\r\n"):
        program.file("writer.ini").write_bytes(settings)
        code, out, err = wine.output(
            programs.machine_probe, wine.windows_path(program.exe),
            wine.windows_path(program.file("writer-update.txt")),
            wine.windows_path(program.file("writer.ini")), "Options", url)
        assert code == 0, err
        report = json.loads(out)
        return report, {w["id"]: w for w in report["warnings"]}
    return run


def test_wine_answers_an_unsigned_program_and_a_htm_program_that_is_not_the_browser(
        wine, program, probe):
    os.chmod(program.path, 0o755)
    report, warnings = probe()
    machine = report["machine"]
    assert machine["signature"] == {"result": "0x800B0100", "verdict": "unsigned"}
    assert sorted(warnings) == ["falwick-unsigned", "htm-program-not-https-browser"]
    assert machine["htm_program"].lower().endswith("browser_recorder.exe")
    assert machine["https_program"].lower().endswith("winebrowser.exe")
    [directory] = machine["directories"]
    assert directory["read"] and directory["writers"] == []
    assert directory["path"] == wine.windows_path(program.path)


def test_a_directory_every_user_may_write_is_named_with_the_principal_and_right(program, probe):
    os.chmod(program.path, 0o777)
    try:
        _, warnings = probe()
    finally:
        os.chmod(program.path, 0o755)
    warning = warnings["directory-writable-by-others"]
    assert {k: warning[k] for k in ("principal", "sid", "right", "applies_to")} == {
        "principal": "Everyone", "sid": "S-1-1-0", "right": "modify",
        "applies_to": "directory"}
    assert "grants Everyone modify rights" in warning["text"]


def test_a_url_that_splits_and_a_settings_file_with_a_utf8_mark(program, probe):
    _, warnings = probe(URL.replace("writer", "my writer"),
                        b"\xef\xbb\xbf[Options]\r\nNoUpdateCheck=1\r\n")
    assert warnings["download-url-splits"]["characters"] == " "
    assert "a space (write %20)" in warnings["download-url-splits"]["text"]
    assert warnings["settings-utf8-bom"]["path"].endswith("writer.ini")
