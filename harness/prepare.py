"""Prepares a test run: a fresh Wine prefix in the build tree (made once per run and
shared by every test) and its copy for off-line runs.

Usage: python3 -m harness.prepare WORK_DIR"""

import shutil
import sys
from pathlib import Path

from harness.wine import copy_prefix, make_prefix


def main():
    work = Path(sys.argv[1])
    make_prefix(work / "prefix", fresh=True)
    offline = work / "prefix-offline"
    if offline.exists():
        shutil.rmtree(offline)
    copy_prefix(work / "prefix", offline)


if __name__ == "__main__":
    main()
