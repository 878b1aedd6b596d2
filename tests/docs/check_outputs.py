"""Every falwick-info output that README.md and docs/ show is the tool's own. Such a block
follows the comment `<!-- falwick-info output: docs/examples/ -->`, and its first line is
`$ falwick-info ARGS`: the rest is what the tool prints (standard output, then standard
error) when it is run with ARGS in docs/examples/. With `served on 127.0.0.1` in the
comment, a local server serves each file of docs/examples/ as /updates/NAME, and the
block's http://127.0.0.1:PORT/ is that server; only the port, the Date it sends and a
fetch's seconds may then differ from the page. A block that starts with `$ falwick-info` and shows output
without the comment is refused too. Prints each block that differs and a command that
regenerates them, and exits 1.

Usage: python3 check_outputs.py [--update] FALWICK_INFO"""

import difflib
import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT), str(ROOT / "release")]
from harness.server import LocalServer  # noqa: E402
from pages import doc_pages  # noqa: E402  (release/ is no package)

EXAMPLES = ROOT / "docs" / "examples"
MARKED = re.compile(r"^<!-- falwick-info output: docs/examples/( served on 127\.0\.0\.1)? -->\n"
                    r"```\n\$ (falwick-info [^\n]*)\n(.*?)^```$", re.M | re.S)
SHOWN = re.compile(r"^```\n\$ falwick-info [^\n]*\n(?!```)", re.M)
LOCAL = re.compile(r"http://127\.0\.0\.1:\d+/")
# What may differ between two runs against the local server: its port, the Date it
# sends, a fetch's time.
VARIES = ((re.compile(r"127\.0\.0\.1:\d+"), "127.0.0.1:PORT"),
          (re.compile(r"^Date {2,}.*$", re.M), "Date DATE"),
          (re.compile(r" in \d+\.\d+ s$", re.M), " in S s"))
# How the server answers, as the page on check URL describes it.
HEADERS = {"Content-Type": "text/plain", "Cache-Control": "public, max-age=300",
           "ETag": '"5f2a-70"'}


def same(shown, output):
    for pattern, replacement in VARIES:
        shown, output = pattern.sub(replacement, shown), pattern.sub(replacement, output)
    return shown == output


def run(tool, command, base):
    """(the command as the page shows it, the tool's output) for COMMAND, with BASE the
    local server's http://127.0.0.1:PORT/."""
    command = LOCAL.sub(base, command)
    args = [str(tool)] + shlex.split(command)[1:]
    env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
    done = subprocess.run(args, cwd=EXAMPLES, env=env, capture_output=True, timeout=120)
    return command, (done.stdout + done.stderr).decode("latin-1")


def main():
    update = "--update" in sys.argv[1:]
    tool = Path([arg for arg in sys.argv[1:] if arg != "--update"][0]).resolve()
    server = LocalServer()
    for path in EXAMPLES.glob("[!.]*"):
        server.serve("/updates/" + path.name, path.read_bytes(), headers=dict(HEADERS))
    problems, unmarked, blocks = [], [], 0
    with server:
        base = server.url("/")
        for page in doc_pages(ROOT):
            text = (ROOT / page).read_text()
            if len(SHOWN.findall(text)) > len(MARKED.findall(text)):
                unmarked.append("%s: a falwick-info output shown without the comment "
                                "<!-- falwick-info output: docs/examples/ -->" % page)
            changed = []
            for match in MARKED.finditer(text):
                blocks += 1
                command, output = run(tool, match.group(2), base if match.group(1) else "")
                if same(match.group(3), output):
                    continue
                line = text.count("\n", 0, match.start()) + 1
                problems.append("%s:%d: `$ %s` prints something else now:\n%s" % (
                    page, line, match.group(2), "".join(difflib.unified_diff(
                        match.group(3).splitlines(True), output.splitlines(True),
                        "page", "falwick-info", n=1))))
                changed.append((match.start(2), match.end(3), command + "\n" + output))
            if update and changed:
                for start, end, new in reversed(changed):
                    text = text[:start] + new + text[end:]
                (ROOT / page).write_text(text)
    for problem in unmarked + problems:
        print(problem)
    print("doc outputs: %d blocks, %s" % (blocks, "%d differ%s" % (
        len(problems), ", rewritten" if update else "") if problems else "all the tool's own"))
    if problems and not update:
        print("regenerate: python3 tests/docs/check_outputs.py --update %s"
              % os.path.relpath(tool, ROOT))
    sys.exit(1 if unmarked or (problems and not update) or not blocks else 0)


if __name__ == "__main__":
    main()
