"""The Windows programs of a build tree, found by name.

CMake writes `programs.json` into every Windows build tree: each program the harness
runs (Falwick.EXE, the maker's tools, the helpers that drive dialogs or stand in for a
browser), by name, with its path in that tree. Adding a program there is all it takes
for the harness to find it."""

import json
import os
import re
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
# The tree `cmake --preset windows` builds; FALWICK_BUILD_DIR names another.
DEFAULT_BUILD_DIR = ROOT / "build" / "windows"
MANIFEST = "programs.json"


class MissingProgram(RuntimeError):
    pass


class Programs:
    """Paths of the built programs, as attributes named as in programs.json:
    falwick, falwick_info, active_frame, dialog_driver, browser_recorder, ..."""

    def __init__(self, build_dir=None):
        self.build_dir = Path(build_dir or os.environ.get("FALWICK_BUILD_DIR")
                              or DEFAULT_BUILD_DIR).resolve()
        manifest = self.build_dir / MANIFEST
        try:
            names = json.loads(manifest.read_text())
        except (OSError, ValueError):
            raise MissingProgram("%s is missing: configure and build the windows preset "
                                 "there first" % manifest) from None
        self._paths = {name: Path(path) for name, path in names.items()}

    def __getattr__(self, name):
        try:
            return self._paths[name]
        except KeyError:
            raise AttributeError(name) from None

    def missing(self, *names):
        """Those of the named programs that are not built (yet)."""
        return [self._paths[name] for name in names if not self._paths[name].exists()]


def pe_headers(exe):
    """What objdump says of a Windows program's headers and import table."""
    return subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(exe)], check=True,
                          capture_output=True, text=True).stdout


def imported_dlls(exe):
    """The DLLs a Windows program imports, upper case, sorted."""
    return sorted({name.upper() for name in re.findall(r"DLL Name: (\S+)", pe_headers(exe))})
