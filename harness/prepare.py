"""The Wine prefix of a test run: made fresh once per run in the build tree (`wineboot -i`
takes seconds of both cores), then copied for each Wine session that runs beside the
others (a suite, its runs off line in a network namespace, the signed release's run), so
that no two sessions share a prefix, a wineserver or a registry.

Usage: python3 -m harness.prepare BUILD_DIR   (the Windows tree: the prefix made fresh)"""

import sys
from pathlib import Path

from harness.wine import copy_prefix, make_prefix


def prepared_prefix(build_dir):
    """Where the run's prefix lies in the Windows tree `build_dir`."""
    return Path(build_dir) / "e2e" / "prefix"


def prefix_copy(build_dir, copy):
    """A fresh copy at `copy` of the tree's prepared prefix, made first when missing
    (pytest run by hand, without ctest's e2e.prepare)."""
    make_prefix(prepared_prefix(build_dir))
    copy_prefix(prepared_prefix(build_dir), Path(copy))
    return Path(copy)


def main():
    make_prefix(prepared_prefix(sys.argv[1]), fresh=True)


if __name__ == "__main__":
    main()
