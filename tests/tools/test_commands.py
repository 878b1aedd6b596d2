"""falwick-info's command table, native build: each command's --help on standard output,
--version, options in any order, and every refusal a clear line on standard error with the
could-not-check status; the exit status of check FILE by the worst finding."""

import os
import subprocess

import pytest

TOOL = os.environ["FALWICK_INFO"]


def run(*args, cwd=None):
    return subprocess.run([TOOL, *args], capture_output=True, text=True, cwd=cwd, timeout=60)


@pytest.mark.parametrize("args, status, out, err", [
    (["--help"], 0, "falwick-info check FILE|URL", ""),
    (["check", "--help"], 0, "3 could not check", ""),
    (["write", "--help"], 0, "--message3 TEXT", ""),
    (["--version"], 0, "falwick-info 1.", ""),
    (["check", "ftp://example.test/x.txt"], 3, "", "http and https URLs only"),
    (["check", "www.example.test/x.txt"], 3, "write https://www.example.test/x.txt",
     "cannot read"),
    (["check", "--ca-file", "/nonexistent.pem", "x.txt"], 3, "", "cannot read --ca-file"),
    (["check", "x.txt", "--bogus"], 3, "", "unknown option --bogus for check"),
    (["check", "x.txt", "--installed"], 3, "", "--installed needs a value"),
    (["check", "--json=yes", "x.txt"], 3, "", "--json takes no value"),
    (["check"], 3, "", "check needs one FILE|URL"),
    (["write", "--version", "3"], 3, "", "write needs --version and --build"),
    (["write", "--version", "3", "--build", "1", "extra"], 3, "", "write takes options only"),
    (["run", "<Writer>"], 3, "", "run needs Windows"),
    (["chek"], 3, "", "unknown command chek"),
])
def test_the_command_line_is_a_well_behaved_tools(args, status, out, err):
    done = run(*args)
    assert (done.returncode, out in done.stdout, err in done.stderr) == (status, True, True), done


@pytest.mark.parametrize("body, status", [
    (b"VERSION=4\r\nBUILD=2\r\nMESSAGE1=Faster.\r\n", 0),
    (b"VERSION=4.5\r\nBUILD=2\r\n", 0),            # a note: the display version drops .5
    (b"VERSION=4.10\r\nBUILD=2\r\n", 1),           # a warning: 4.10 is 4.1
    (b"\xef\xbb\xbfVERSION=4\r\nBUILD=2\r\n", 2),  # an error: the mark hides VERSION
    (None, 3),                                     # could not check
])
def test_check_exits_with_the_worst_finding(tmp_path, body, status):
    if body is not None:
        (tmp_path / "info.txt").write_bytes(body)
    # The file and the options in any order, "--name=value" as "--name value".
    done = run("check", "--installed=3.0.012", "info.txt", "--product", "Writer", cwd=tmp_path)
    assert done.returncode == status, done.stdout
    assert done.stdout.rstrip().splitlines()[-1].startswith("Findings ")
