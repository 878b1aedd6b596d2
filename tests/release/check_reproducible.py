"""Builds Falwick.EXE twice, from two copies of the sources in different directories
into clean build trees, packs a release from each, and checks that the exes and the
zips are the same byte for byte, and that the zip holds what integrators need.

Usage: python3 check_reproducible.py SOURCE_DIR WORK_DIR"""

import os
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

LEFT_OUT = shutil.ignore_patterns(".git", "build", "dist", "__pycache__", "*.pyc")


def package(source, exe, dist):
    subprocess.run(["/usr/bin/python3", str(source / "release" / "package.py"), str(source),
                    str(exe), str(dist)], check=True, stdout=subprocess.DEVNULL)
    return next(dist.glob("*.zip"))


def build(source, tree):
    subprocess.run(["cmake", "--preset", "windows", "-S", str(source), "-B", str(tree)],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(tree), "--target", "Falwick", "-j",
                    str(os.cpu_count() or 2)], check=True, stdout=subprocess.DEVNULL)
    return tree / "Falwick.EXE"


def main():
    source_dir, work = Path(sys.argv[1]), Path(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    # One snapshot of the sources (others may edit them meanwhile), copied again to a
    # place at another depth: the paths differ in length and in every component.
    source = work / "a" / "src"
    copy = work / "elsewhere" / "deeper" / "falwick-source"
    shutil.copytree(source_dir, source, ignore=LEFT_OUT)
    shutil.copytree(source, copy)
    exe = build(source, work / "a" / "build")
    rebuilt = build(copy, work / "elsewhere" / "another-build")
    assert rebuilt.read_bytes() == exe.read_bytes(), "Falwick.EXE differs between the builds"

    os.environ["SOURCE_DATE_EPOCH"] = "1700000000"
    first = package(source, exe, work / "dist-1")
    second = package(copy, rebuilt, work / "dist-2")
    assert first.name == second.name
    assert first.read_bytes() == second.read_bytes(), "the zips differ"
    assert (work / "dist-1" / "SHA256SUMS").read_bytes() == \
        (work / "dist-2" / "SHA256SUMS").read_bytes()

    version = re.search(r'FALWICK_VERSION_DOTTED "([0-9.]+)"',
                        (source / "ui" / "version.h").read_text()).group(1)
    folder = "Falwick-%s-win64" % version
    assert first.name == folder + ".zip"
    with zipfile.ZipFile(first) as archive:
        assert archive.namelist() == [folder + "/Falwick.EXE", folder + "/README.txt",
                                      folder + "/update-info-sample.txt"]
        assert archive.read(folder + "/Falwick.EXE") == exe.read_bytes()
        readme = archive.read(folder + "/README.txt").decode()
        sample = archive.read(folder + "/update-info-sample.txt").decode()
        times = {info.date_time for info in archive.infolist()}
    assert readme.startswith("# Falwick\r\n")
    assert "\n" not in readme.replace("\r\n", "")
    assert "## The command line" in readme and "## The update-information file" in readme
    assert "## Try it" not in readme and "product makers" not in readme.lower()
    assert sample.startswith("VERSION=") and "\n" not in sample.replace("\r\n", "")
    assert times == {(2023, 11, 14, 22, 13, 20)}, times  # SOURCE_DATE_EPOCH, in UTC
    print("release.reproducible: %s and Falwick.EXE (%d bytes) identical from %s and %s"
          % (first.name, len(exe.read_bytes()), source, copy))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
