"""Prepares a test run: a fresh Wine prefix in the build tree (made once per run and
shared by every test) and its copies, each for runs with a wineserver of their own:
off line (in a network namespace) and at other screen resolutions (DPI).

Usage: python3 -m harness.prepare WORK_DIR"""

import shutil
import sys
from pathlib import Path

from harness.wine import copy_prefix, make_prefix


def main():
    work = Path(sys.argv[1])
    make_prefix(work / "prefix", fresh=True)
    for name in ("prefix-offline", "prefix-dpi"):
        copy = work / name
        if copy.exists():
            shutil.rmtree(copy)
        copy_prefix(work / "prefix", copy)


if __name__ == "__main__":
    main()
