"""Running Falwick.EXE as a host product would: a program directory of its own with the
exe in it, and a command line of bracketed tokens."""

import os
import shutil
from dataclasses import dataclass

STANDARD_TOKENS = ("product", "mode", "info_url", "info_file", "installed",
                   "settings_file", "section", "key", "download_url")


def command_line(*tokens):
    return "".join("<%s>" % token for token in tokens)


@dataclass
class Run:
    exit_code: int
    seconds: float
    files_before: set
    files_after: set


class ProgramDirectory:
    """A fresh program directory holding a copy of Falwick.EXE."""

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

    def tokens(self, server, **overrides):
        """The standard request: product Writer, installed 3.0.012, check mode."""
        values = {
            "product": "Writer",
            "mode": "PU",
            "info_url": server.url("/info.txt") if server else "http://127.0.0.1:9/info.txt",
            "info_file": "info.txt",
            "installed": "3.0.012",
            "settings_file": "writer.ini",
            "section": "Options",
            "key": "NoUpdateCheck",
            "download_url": "http://127.0.0.1:9/download page.htm",
        }
        values.update(overrides)
        return [values[name] for name in STANDARD_TOKENS]

    def run(self, *tokens, raw=None, timeout=150):
        """Runs the exe with the tokens (or the raw argument string) and waits."""
        arguments = [raw] if raw is not None else [command_line(*tokens)]
        if raw == "":
            arguments = []
        before = self.files()
        code, seconds = self.wine.run(self.exe, *arguments, timeout=timeout)
        return Run(code, seconds, before, self.files())

    def start(self, *tokens):
        return self.wine.start(self.exe, command_line(*tokens))
