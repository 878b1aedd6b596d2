"""The release-pipeline recipe of docs/publishing.md, taken from the page as it stands and
run by sh, with and without `set -e`, against a local server: it passes for a
well-published file and fails the pipeline when the fetch fails, when the user of the
given version would not get the notice, on an error, and when Windows' cache could keep
the old file for more than an hour. The page's other gate, on the cache lifetime, fails a
failed fetch too."""

import os
import re
import subprocess
import time
from email.utils import formatdate
from pathlib import Path

import pytest

from harness import sample
from harness.server import LocalServer

PAGE = Path(__file__).resolve().parents[2] / "docs" / "publishing.md"
EXAMPLE_URL = "https://www.orvanel.example/updates/writer.txt"
TOOL = Path(os.environ["FALWICK_INFO"])
FILES = {
    "/published.txt": (b"VERSION=3.5\r\nBUILD=14\r\nMESSAGE1=Faster.\r\n", {"Cache-Control": "max-age=300"}),
    "/old.txt": (sample.NOT_NEWER, {"Cache-Control": "max-age=300"}),
    "/marked.txt": (b"\xef\xbb\xbfVERSION=3.5\r\nBUILD=14\r\n", {"Cache-Control": "max-age=300"}),
    "/static.txt": (sample.NEWER, {"Last-Modified": formatdate(time.time() - 300 * 86400, usegmt=True)}),
}


def page_text(heading):
    text = PAGE.read_text()
    return text[text.index(heading):]


def recipe():
    """The first sh block under "In the release pipeline", exactly as the page shows it."""
    return re.search(r"```sh\n(.*?)```", page_text("## In the release pipeline"), re.S).group(1)


@pytest.fixture(scope="module")
def server():
    with LocalServer() as local:
        for path, (body, headers) in FILES.items():
            local.serve(path, body, headers=headers)
        yield local


def run(script, cwd):
    env = dict(os.environ, PATH="%s:%s" % (TOOL.parent, os.environ["PATH"]))
    return subprocess.run(["sh", "-c", script], cwd=cwd, env=env, capture_output=True,
                          text=True, timeout=120)


@pytest.mark.parametrize("set_e", [False, True], ids=["plain", "set-e"])
@pytest.mark.parametrize("path, passes", [
    ("/published.txt", True),   # plain http only warns
    ("/old.txt", False),        # a user of 3.0.012 gets no notice
    ("/marked.txt", False),     # an error: the byte-order mark hides VERSION
    ("/static.txt", False),     # Windows' cache keeps the old file for about 30 days
    (None, False),              # the URL cannot be fetched
])
def test_the_recipe_fails_the_pipeline_as_the_page_says(server, tmp_path, path, passes, set_e):
    url = server.url(path) if path else sample.UNREACHABLE + "/writer.txt"
    script = ("set -e\n" if set_e else "") + recipe().replace(EXAMPLE_URL, url) + "\necho passed\n"
    done = run(script, tmp_path)
    assert (done.returncode == 0, "passed" in done.stdout) == (passes, passes), done.stderr
    assert "Traceback" not in done.stderr and "jq: error" not in done.stderr, done.stderr
    if not passes:
        assert "release check failed" in done.stderr


def test_the_cache_gate_fails_a_failed_fetch(tmp_path):
    gate = re.search(r"`(jq -e '\(\.fetch\.windows_cache[^`]*)`", page_text("## In the release")).group(1)
    fetch = sample.UNREACHABLE + "/writer.txt"
    done = run("falwick-info check %s --json > check.json; %s" % (fetch, gate), tmp_path)
    assert (done.returncode, done.stdout.strip()) == (1, "false"), done.stderr
