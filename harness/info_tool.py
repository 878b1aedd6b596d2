"""falwick-info.exe, the product maker's tool, run in a Wine session. Its reports are
read through their JSON (--json), never from the text a person reads: `check` of a file
or URL, and the dry run of a host's command line (`run`)."""

import json
from dataclasses import dataclass


@dataclass
class Output:
    status: int  # 0 nothing above a note, 1 warnings, 2 errors, 3 could not check
    text: str  # standard output, LF line ends
    error: str  # standard error


@dataclass
class Report:
    """A JSON report: the exit status, the object (None when the tool printed none),
    standard error, and standard output as printed (to tell why there is no object)."""

    status: int
    data: dict
    error: str
    output: str = ""

    @property
    def worst(self):
        """The exit status the findings call for: 2 errors, 1 warnings, 0 notes at most."""
        counts = self.data["counts"]
        return 2 if counts["error"] else 1 if counts["warning"] else 0

    @property
    def newer(self):
        """`check`: True when the notice appears, False when not, None when the report
        says neither (the file could not be read)."""
        return None if self.data is None else self.data.get("newer")

    def notice_text(self):
        """`check`: the bytes of the notice's text, as Falwick would show it."""
        return self.data["notice"]["text"].encode("latin-1")


class InfoTool:
    def __init__(self, wine, exe):
        self.wine, self.exe = wine, exe

    def run(self, *args, env=None):
        """Runs falwick-info with the arguments: its Output (for `write`, whose output is
        the file written, and for what a person reads)."""
        status, out, err = self.wine.output(self.exe, *args, env=env)
        return Output(status, out.replace(b"\r\n", b"\n").decode("latin-1"),
                      err.decode("latin-1"))

    def report(self, *args, env=None):
        """Runs falwick-info with the arguments and --json: its Report."""
        status, out, err = self.wine.output(self.exe, *args[:1], "--json", *args[1:], env=env)
        try:
            data = json.loads(out.decode("latin-1"))
        except ValueError:
            data = None
        return Report(status, data, err.decode("latin-1"), out.decode("latin-1"))

    def check(self, source, *options, env=None):
        """`falwick-info check` of a Unix path or a URL, with options (--installed,
        --product)."""
        if not str(source).startswith(("http://", "https://")):
            source = self.wine.windows_path(source)
        return self.report("check", source, *options, env=env)

    def dry_run(self, command_line, *options, env=None):
        """`falwick-info run [options] COMMAND-LINE`: its Report."""
        return self.report("run", *options, command_line, env=env)
