"""The product maker's tools against the real program: falwick-info.exe's verdict and
notice text for a file agree with what Falwick.EXE does with the same file, check URL
judges the bytes Falwick's own download stores and names what caches may do with them, a
file that falwick-info writes shows in the dialog exactly as given, and scripts/preview
saves the notice or explains why there is none."""

import gzip
import re
import subprocess
from pathlib import Path

import pytest

from harness.sample import tokens

PREVIEW = Path(__file__).resolve().parents[2] / "scripts" / "preview"
INSTALLED = "3.0.012"


def check(info_tool, path):
    """falwick-info's check of the file for Writer, installed as INSTALLED."""
    return info_tool.check(path, "--installed", INSTALLED, "--product", "Writer")


def run_falwick(falwick, server, body):
    """Falwick.EXE on `body` for a user of INSTALLED; the notice is answered "No"."""
    server.serve("/info.txt", body)
    outcome = falwick(tokens(server, installed=INSTALLED), "no", timeout=90)
    assert outcome.ended, "Falwick neither ended nor showed a notice"
    return outcome


FILES = [
    ("messages with = and &",
     b"VERSION=4\r\nBUILD=2\r\nMESSAGE1=Save 50% = half & more.\r\nMESSAGE3=Free.\r\n", True),
    ("a newer build with the standard sentence", b"VERSION=3.0\r\nBUILD=13\r\n", True),
    ("a long line whose rest is a VERSION line",
     b"MESSAGE1=" + b"v" * 250 + b"VERSION=9\r\n", True),
    ("MESSAGE12 read as MESSAGE1, a fraction in VERSION",
     b"VERSION=3.5\r\nBUILD=1\r\nMESSAGE12=Twelve\r\n", True),
    ("the installed version itself", b"VERSION=3.0\r\nBUILD=12\r\n", False),
    ("a byte-order mark hides VERSION", b"\xef\xbb\xbfVERSION=9\r\nBUILD=12\r\n", False),
    ("a Ctrl-Z hides VERSION", b"BUILD=12\r\n\x1aVERSION=9\r\n", False),
    ("CR-only line ends", b"MESSAGE1=Hi\rVERSION=9\rBUILD=99\r", False),
    ("a key after a tab", b"\tVERSION=9\r\nBUILD=12\r\n", False),
    ("an error page", b"<html><body><h1>404 Not Found</h1></body></html>\r\n", False),
    ("UTF-16 text", "VERSION=9\r\nBUILD=1\r\n".encode("utf-16"), False),
]


@pytest.mark.parametrize("body,announces", [(body, announces) for _, body, announces in FILES],
                         ids=[name for name, _, _ in FILES])
def test_the_verdict_and_notice_text_are_what_falwick_does(falwick, info_tool, server, tmp_path,
                                                           body, announces):
    path = tmp_path / "info.txt"
    path.write_bytes(body)
    report = check(info_tool, path)
    assert report.status == report.worst, report.data
    assert report.newer == announces, report.data

    outcome = run_falwick(falwick, server, body)
    assert outcome.shown == announces
    if outcome.shown:
        assert outcome.notice_text() == report.notice_text()


def test_check_exit_status_tells_clean_from_warnings_from_errors_from_unreadable(info_tool,
                                                                                tmp_path):
    clean = tmp_path / "clean.txt"
    clean.write_bytes(b"VERSION=4\r\nBUILD=2\r\nMESSAGE1=Faster printing.\r\n")
    report = check(info_tool, clean)
    assert report.status == 0
    assert report.data["findings"] == []
    assert (report.newer, report.data["reason"]) == (
        True, "VERSION 4 is larger than the installed version 3")

    dotted = tmp_path / "dotted.txt"
    dotted.write_bytes(b"VERSION=4.10\r\nBUILD=2\r\n")
    report = check(info_tool, dotted)
    assert report.status == 1
    assert [(w["id"], w["severity"]) for w in report.data["findings"]] == [
        ("version-decimals", "warning"), ("version-fraction", "note")]

    traps = tmp_path / "traps.txt"
    traps.write_bytes(b"\xef\xbb\xbfVERSION=4\r\nBuild=2\r\n")
    report = check(info_tool, traps)
    assert report.status == 2
    warnings = {(w["line"], w["id"]): w for w in report.data["findings"]}
    assert warnings[1, "byte-order-mark"]["text"].startswith(
        "the file starts with a UTF-8 byte-order mark")
    assert warnings[1, "byte-order-mark"]["severity"] == "error"
    assert warnings[2, "key-in-wrong-case"]["text"].startswith("'Build' is not read")

    missing = check(info_tool, tmp_path / "missing.txt")
    assert (missing.status, missing.data["newer"], missing.data["values"]) == (3, None, None)
    assert "cannot read" in missing.error

    # Without --installed, the oldest version: anything with a VERSION or BUILD announces.
    report = info_tool.check(clean)
    assert report.data["installed"] == {"text": "0.0.000", "version": 0, "build": 0}
    assert report.newer
    # The report as a person reads it says the same.
    text = info_tool.run("check", info_tool.wine.windows_path(clean)).text
    assert "Installed         0.0.000 = version 0, build 0 (default" in text
    assert "Newer             yes: VERSION 4 is larger than the installed version 0" in text
    assert "Findings          0 errors, 0 warnings, 0 notes" in text


def test_check_url_judges_the_bytes_as_sent_and_names_the_caches(info_tool, server):
    """Through WinINet as Falwick calls it: a gzip body sent unasked is stored compressed
    and announces nothing; the headers of a squid hit and a Last-Modified reach the
    warnings."""
    server.serve("/gzip.txt", gzip.compress(b"VERSION=4\r\nBUILD=1\r\n"),
                 headers={"Content-Encoding": "gzip", "Cache-Control": "no-cache"})
    server.serve("/squid.txt", b"VERSION=4\r\nBUILD=1\r\n",
                 headers={"Age": "7260", "X-Cache": "HIT from proxy.test",
                          "Via": "1.1 proxy.test (squid/5.7)",
                          "Last-Modified": "Mon, 01 Jan 2001 00:00:00 GMT"})
    report = info_tool.check(server.url("/gzip.txt"), "--installed", INSTALLED).data
    ids = [w["id"] for w in report["findings"]]
    assert "content-encoding" in ids and report["newer"] is False
    assert report["fetch"]["headers"]["Content-Encoding"] == "gzip"
    assert report["values"]["VERSION"] is None

    report = info_tool.check(server.url("/squid.txt"), "--installed", INSTALLED).data
    ids = [w["id"] for w in report["findings"]]
    assert {"windows-cache-lifetime", "served-by-cache"} <= set(ids), ids
    fetch = report["fetch"]
    assert fetch["cache_on_the_way"]["age_seconds"] == 7260
    assert fetch["windows_cache"]["rule"] == "last-modified"
    assert fetch["windows_cache"]["fresh_seconds"] > 365 * 86400  # a tenth of 25 years
    assert not any(name.lower() == "accept-encoding"
                   for r in server.requests for name in r.headers)


def test_a_written_file_shows_in_the_dialog_exactly_as_given(falwick, info_tool, server):
    first = " ".join("Item %d: a = b & c;" % n for n in range(40))  # about 800 characters
    written = info_tool.run("write", "--version", "4", "--build", "2",
                            "--message1", first, "--message2", "100% free")
    assert written.status == 1, written.error  # a warning: the "&" underlines
    assert "[ampersand]" in written.error and "underlined" in written.error  # written all the same
    body = written.text.replace("\n", "\r\n").encode("latin-1")
    lines = body.split(b"\r\n")
    assert lines[:2] == [b"VERSION=4", b"BUILD=2"] and lines[-1] == b""
    assert len(lines) > 6 and all(len(line) <= 258 for line in lines)

    outcome = run_falwick(falwick, server, body)
    assert outcome.shown
    assert outcome.notice_text() == (first + "\r\n\r\n100% free").encode("latin-1")


def test_write_refuses_what_would_read_back_differently(info_tool):
    written = info_tool.run("write", "--version", "4", "--build", "2", "--message1", "x" * 300)
    assert written.status == 2
    assert written.text == ""
    assert "longer than a line holds" in written.error


def preview(build_dir, tmp_path, body, installed):
    path = tmp_path / "info.txt"
    path.write_bytes(body)
    out = tmp_path / "notice.png"
    completed = subprocess.run(
        [str(PREVIEW), str(path), "--product", "Writer", "--installed", installed,
         "--out", str(out), "--build-dir", str(build_dir), "--no-build"],
        capture_output=True, text=True, timeout=600)
    return completed, out


def pixel(png, x, y):
    text = subprocess.run(["convert", str(png), "-crop", "1x1+%d+%d" % (x, y), "txt:-"],
                          check=True, capture_output=True, text=True).stdout
    return tuple(int(v) for v in re.search(r"\((\d+),(\d+),(\d+)", text).groups())


def test_preview_saves_the_notice_with_its_active_caption_bar(programs, tmp_path):
    completed, out = preview(programs.build_dir, tmp_path, b"VERSION=4\r\nBUILD=2\r\n", INSTALLED)
    assert completed.returncode == 0, completed.stdout + completed.stderr
    size = re.search(r"\((\d+)x(\d+) pixels\)", completed.stdout)
    width, height = int(size.group(1)), int(size.group(2))
    assert out.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    identify = subprocess.run(["identify", "-format", "%w %h", str(out)], check=True,
                              capture_output=True, text=True).stdout
    assert identify == "%d %d" % (width, height)
    assert width > 300 and height > 120
    assert "Writer Version 4.0.002 is now available for download" in completed.stdout
    # The caption bar, right of its title, in the active caption colour (blue, not grey).
    red, green, blue = pixel(out, width - 12, 10)
    assert blue > 180 and red < 120, (red, green, blue)


def test_preview_explains_why_no_notice_appears(programs, tmp_path):
    completed, out = preview(programs.build_dir, tmp_path, b"VERSION=3.0\r\nBUILD=12\r\n",
                             INSTALLED)
    assert completed.returncode == 1, completed.stdout + completed.stderr
    assert "No notice would appear" in completed.stdout
    assert "BUILD 12 is not larger than the installed build 12" in completed.stdout
    assert not out.exists()
