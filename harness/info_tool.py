"""falwick-info.exe, the product maker's tool, run in a Wine session, and the parts of
its `check` report that the harness reads: the verdict, the reason, the notice text and
the warnings; and its dry run of a host's command line (`run --json`)."""

import json
from dataclasses import dataclass


@dataclass
class Report:
    status: int  # 0 no warnings, 1 warnings, 2 the file cannot be read
    text: str  # standard output, LF line ends
    error: str  # standard error

    def lines(self):
        return self.text.splitlines()

    def _newer_line(self):
        return next((line for line in self.lines() if line.startswith("Newer ")), None)

    def verdict(self):
        """True when the notice appears, False when not, None when the report says
        neither."""
        line = self._newer_line()
        return None if line is None else line.split()[1] == "yes:"

    def reason(self):
        """Why it appears or not: the rest of the verdict's line."""
        return self._newer_line().split(":", 1)[1].strip()

    def notice_lines(self):
        """The notice text as the report prints it, one entry per line."""
        lines = self.lines()
        start = next(i for i, line in enumerate(lines) if line.startswith("Notice text"))
        return [line[4:] for line in lines[start + 1:] if line.startswith("  |")]

    def warnings(self):
        """The warnings section, from its heading on; empty when there is none."""
        lines = self.lines()
        start = next((i for i, line in enumerate(lines) if line.startswith("Warnings (")),
                     None)
        return [] if start is None else lines[start:]


class InfoTool:
    def __init__(self, wine, exe):
        self.wine, self.exe = wine, exe

    def run(self, *args):
        """Runs falwick-info with the arguments: a Report of its output."""
        status, out, err = self.wine.output(self.exe, *args)
        return Report(status, out.replace(b"\r\n", b"\n").decode("latin-1"),
                      err.decode("latin-1"))

    def check(self, path, *options):
        """`falwick-info check` on a Unix path, with options (--installed, --product)."""
        return self.run("check", self.wine.windows_path(path), *options)

    def dry_run(self, command_line, *options, env=None):
        """`falwick-info run --json [options] COMMAND-LINE`: (exit status, the JSON object,
        or None when the output is none)."""
        status, out, _ = self.wine.output(self.exe, "run", "--json", *options, command_line,
                                          env=env)
        try:
            return status, json.loads(out.decode("latin-1"))
        except ValueError:
            return status, None
