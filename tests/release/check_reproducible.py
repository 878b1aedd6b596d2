"""Builds Falwick.EXE and falwick-info.exe twice, from two copies of the sources in
different directories into clean build trees, packs a release from each, and checks
that the exes and the zips are the same byte for byte, and that the zip holds what
integrators need.

Usage: python3 check_reproducible.py SOURCE_DIR WORK_DIR"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

LEFT_OUT = shutil.ignore_patterns(".git", "build", "dist", "__pycache__", "*.pyc")


PROGRAMS = ("Falwick.EXE", "tools/info/falwick-info.exe")
# The pages README.txt is made of, in order.
ZIP_PAGES = ("README.md", "docs/installing.md", "docs/integrating.md", "docs/publishing.md",
             "docs/diagnosing.md")


def package(source, programs, dist):
    subprocess.run(["/usr/bin/python3", str(source / "release" / "package.py"), str(source),
                    *map(str, programs), str(dist)], check=True, stdout=subprocess.DEVNULL)
    return next(dist.glob("*.zip"))


def build(source, tree):
    subprocess.run(["cmake", "--preset", "windows", "-S", str(source), "-B", str(tree)],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(tree), "--target", "Falwick", "falwick-info",
                    "-j", str(os.cpu_count() or 2)], check=True, stdout=subprocess.DEVNULL)
    return [tree / program for program in PROGRAMS]


def main():
    source_dir, work = Path(sys.argv[1]), Path(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    # One snapshot of the sources (others may edit them meanwhile), copied again to a
    # place at another depth: the paths differ in length and in every component.
    source = work / "a" / "src"
    copy = work / "elsewhere" / "deeper" / "falwick-source"
    shutil.copytree(source_dir, source, ignore=LEFT_OUT)
    shutil.copytree(source, copy)
    built = build(source, work / "a" / "build")
    rebuilt = build(copy, work / "elsewhere" / "another-build")
    for one, other in zip(built, rebuilt):
        assert one.read_bytes() == other.read_bytes(), "%s differs between the builds" % one.name

    os.environ["SOURCE_DATE_EPOCH"] = "1700000000"
    first = package(source, built, work / "dist-1")
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
        names = ["Falwick.EXE", "falwick-info.exe", "README.txt", "update-info-sample.txt"]
        assert archive.namelist() == [folder + "/" + name for name in names]
        for name, program in zip(names, built):
            assert archive.read(folder + "/" + name) == program.read_bytes()
        entries = {name: archive.read(folder + "/" + name) for name in names}
        readme = archive.read(folder + "/README.txt").decode()
        sample = archive.read(folder + "/update-info-sample.txt").decode()
        times = {info.date_time for info in archive.infolist()}
    assert readme.startswith("# Falwick\r\n")
    assert "\n" not in readme.replace("\r\n", "")
    # The front page, then the guides for integrators and makers, in this order, each
    # under its own title; what needs the sources is left out.
    lines = readme.split("\r\n")
    titles = [(source / page).read_text().split("\n", 1)[0] for page in ZIP_PAGES]
    assert [line for line in lines if line.startswith("# ")] == titles, titles
    for heading in ("## The command line", "## The update-information file",
                    "## What happens when", "## Starting", "## On the user's machine",
                    "## Signing", "## Checking a file: `falwick-info check FILE`",
                    "## Publishing at scale", "## When no notice appears"):
        assert heading in lines, heading
    for heading in ("## Try it", "scripts/preview`", "# Development"):
        assert not any(line.startswith("#") and line.endswith(heading) for line in lines), heading
    # No Markdown link is left, so nothing points at a page or a picture the zip lacks.
    assert "](" not in readme, readme[readme.index("]("):][:80]
    # One line for the zip, one for each file in it, as sha256sum -c reads them.
    sums = (work / "dist-1" / "SHA256SUMS").read_text().splitlines()
    assert sums == ["%s  %s" % (hashlib.sha256(first.read_bytes()).hexdigest(), first.name)] + [
        "%s  %s/%s" % (hashlib.sha256(data).hexdigest(), folder, name)
        for name, data in entries.items()]
    assert sample.startswith("VERSION=") and "\n" not in sample.replace("\r\n", "")
    assert times == {(2023, 11, 14, 22, 13, 20)}, times  # SOURCE_DATE_EPOCH, in UTC
    print("release.reproducible: %s, Falwick.EXE (%d bytes) and falwick-info.exe identical "
          "from %s and %s" % (first.name, len(entries["Falwick.EXE"]), source, copy))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
