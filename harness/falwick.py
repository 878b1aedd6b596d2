"""Where Falwick.EXE lies as a host product installs it: a program directory of its own
with the exe and whatever the host keeps beside it; the record of the stand-in browser
(the browser_recorder helper) it starts; and what a run may leave elsewhere."""

import os
import shutil

# WinINet's own URL cache in the prefix: every fetch goes through it (Falwick asks for
# no INTERNET_FLAG_NO_CACHE_WRITE), as it does on Windows.
INTERNET_CACHE = "/AppData/Local/Microsoft/Windows/INetCache/"


class ProgramDirectory:
    """A program directory laid out at `path` (made when missing): a copy of `exe` named
    Falwick.EXE (None: the one there), the `files` ({name: bytes}) and copies of the
    `programs` ({name: the built file}) beside it. The one place the harness, the demo,
    the preview and the benchmarks put Falwick somewhere."""

    def __init__(self, path, exe, files=None, programs=None):
        self.path = path
        path.mkdir(parents=True, exist_ok=True)
        self.exe = path / "Falwick.EXE"
        programs = dict(programs or {})
        if exe is not None:
            programs[self.exe.name] = exe
        for name, source in programs.items():
            shutil.copyfile(source, path / name)
        for name, data in (files or {}).items():
            if data is not None:
                (path / name).write_bytes(data)

    def file(self, name):
        return self.path / name

    def files(self):
        return set(os.listdir(self.path))


class BrowserLog:
    """What the stand-in browser was started with: it appends its parameters as one
    line to the file FALWICK_BROWSER_LOG names (a Windows path)."""

    VARIABLE = "FALWICK_BROWSER_LOG"

    def __init__(self, path):
        self.path = path

    def environment(self, wine):
        """The variable that makes the stand-in browser log here, for wine.environment()
        or to put into wine.env."""
        return {self.VARIABLE: wine.windows_path(self.path)}

    def launches(self):
        """One entry per start so far."""
        if not self.path.exists():
            return []
        return self.path.read_text(encoding="latin-1").splitlines()

    def settled(self, wine):
        """The starts of runs that have ended, once every stand-in browser they started
        has finished writing (Wine.browsers_settled)."""
        assert wine.browsers_settled(), "a fake browser did not end"
        return self.launches()


def snapshot(*roots):
    """{path: (size, mtime)} of every file below the roots, to tell what a run wrote."""
    files = {}
    for root in roots:
        for directory, _, names in os.walk(root):
            for name in names:
                path = os.path.join(directory, name)
                if os.path.islink(path):
                    continue
                status = os.stat(path)
                files[path] = (status.st_size, status.st_mtime_ns)
    return files


def changed(before, after):
    """The paths whose entry differs between two snapshots."""
    return {path for path in set(before) | set(after) if before.get(path) != after.get(path)}
