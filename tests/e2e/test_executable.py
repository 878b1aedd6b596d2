"""Falwick.EXE as built: a 64-bit Windows GUI program that needs nothing but Windows."""

import re

from harness.programs import imported_dlls, pe_headers

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "SHELL32.DLL", "WININET.DLL", "MSVCRT.DLL",
               "GDI32.DLL", "ADVAPI32.DLL", "COMCTL32.DLL"}


def test_is_named_as_hosts_expect_it(programs):
    assert programs.falwick.name == "Falwick.EXE"


def test_is_a_64_bit_gui_program(programs):
    text = pe_headers(programs.falwick)
    assert re.search(r"^Magic\s+020b\s+\(PE32\+\)", text, re.M)
    assert re.search(r"^Subsystem\s+00000002\s+\(Windows GUI\)", text, re.M)


def test_imports_only_windows_system_dlls(programs):
    imported = set(imported_dlls(programs.falwick))
    assert imported, "no import table found"
    assert imported <= SYSTEM_DLLS, imported - SYSTEM_DLLS
    assert not any(re.search(r"stdc\+\+|gcc|pthread", name, re.I) for name in imported)
