"""Falwick.EXE as built: a 64-bit Windows GUI program that needs nothing but Windows."""

import re
import subprocess

from conftest import EXE

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "SHELL32.DLL", "WININET.DLL", "MSVCRT.DLL",
               "GDI32.DLL", "ADVAPI32.DLL", "COMCTL32.DLL"}


def headers():
    return subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(EXE)], check=True,
                          capture_output=True, text=True).stdout


def test_is_named_as_hosts_expect_it():
    assert EXE.name == "Falwick.EXE"


def test_is_a_64_bit_gui_program():
    text = headers()
    assert re.search(r"^Magic\s+020b\s+\(PE32\+\)", text, re.M)
    assert re.search(r"^Subsystem\s+00000002\s+\(Windows GUI\)", text, re.M)


def test_imports_only_windows_system_dlls():
    imported = {name.upper() for name in re.findall(r"DLL Name: (\S+)", headers())}
    assert imported, "no import table found"
    assert imported <= SYSTEM_DLLS, imported - SYSTEM_DLLS
    assert not any(re.search(r"stdc\+\+|gcc|pthread", name, re.I) for name in imported)
