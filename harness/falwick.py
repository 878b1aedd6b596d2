"""Running Falwick.EXE as a host product would: a program directory of its own with the
exe in it, and a command line of bracketed tokens; and the record of the stand-in
browser (the browser_recorder helper) it starts."""

import os
import shutil
import time
from dataclasses import dataclass

from harness import sample


@dataclass
class Run:
    exit_code: int
    seconds: float
    files_before: set
    files_after: set


class ProgramDirectory:
    """A fresh program directory holding a copy of Falwick.EXE (and whatever else is
    put there: a host's settings, a stale info file)."""

    def __init__(self, wine, exe, path):
        self.wine = wine
        self.path = path
        path.mkdir(parents=True, exist_ok=True)
        self.exe = path / "Falwick.EXE"
        shutil.copyfile(exe, self.exe)

    def file(self, name):
        return self.path / name

    def files(self):
        return set(os.listdir(self.path))

    def tokens(self, server, **values):
        """The sample request (harness.sample) for the info file at /info.txt on
        `server` (None: an address where nothing answers), with `values` over it."""
        return sample.tokens(server, **values)

    def run(self, *tokens, raw=None, timeout=150, env=None):
        """Runs the exe with the tokens (or the raw argument string, "" for none) and
        waits for its end."""
        arguments = [raw] if raw is not None else [sample.command_line(tokens)]
        if raw == "":
            arguments = []
        before = self.files()
        code, seconds = self.wine.run(self.exe, *arguments, timeout=timeout, env=env)
        return Run(code, seconds, before, self.files())

    def start(self, *tokens, env=None):
        return self.wine.start(self.exe, sample.command_line(tokens), env=env)


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

    def launches(self, wait=0.0):
        """One entry per start, after waiting up to `wait` seconds for the first."""
        deadline = time.monotonic() + wait
        while not self.path.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        if not self.path.exists():
            return []
        return self.path.read_text(encoding="latin-1").splitlines()
