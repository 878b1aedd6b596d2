"""Runs scripts/release twice, from two copies of the sources in different directories
(each builds in clean trees of its own), and checks that the two dist/ folders are the
same byte for byte (the zip, the Debian package, SHA256SUMS), and that the zip holds what
integrators need.

Usage: python3 check_reproducible.py SOURCE_DIR WORK_DIR"""

import hashlib
import os
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

LEFT_OUT = shutil.ignore_patterns(".git", "build", "dist", "__pycache__", "*.pyc")


PROGRAMS = ("windows/Falwick.EXE", "windows/tools/info/falwick-info.exe")
# The pages README.txt is made of, in order.
ZIP_PAGES = ("README.md", "docs/installing.md", "docs/integrating.md", "docs/publishing.md",
             "docs/diagnosing.md")


def release(source):
    """scripts/release in SOURCE: its dist/ folder and the programs it built."""
    subprocess.run([str(source / "scripts" / "release")], check=True,
                   stdout=subprocess.DEVNULL, env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
    return source / "dist", [source / "build" / "release" / program for program in PROGRAMS]


def main():
    source_dir, work = Path(sys.argv[1]), Path(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    # One snapshot of the sources (others may edit them meanwhile), copied again to a
    # place at another depth: the paths differ in length and in every component.
    source = work / "a" / "src"
    copy = work / "elsewhere" / "deeper" / "falwick-source"
    shutil.copytree(source_dir, source, ignore=LEFT_OUT)
    shutil.copytree(source, copy)
    dist, built = release(source)
    dist_copy, _ = release(copy)
    released = sorted(path.name for path in dist.iterdir())
    assert released == sorted(path.name for path in dist_copy.iterdir()), released
    for name in released:
        assert (dist / name).read_bytes() == (dist_copy / name).read_bytes(), \
            "%s differs between the releases" % name

    sys.path.insert(0, str(source / "release"))
    from package import version  # noqa: E402  (release/ is no package)
    folder = "Falwick-%s-win64" % version(source)
    first = dist / (folder + ".zip")
    deb = "falwick-info_%s_amd64.deb" % version(source)
    assert released == sorted([first.name, deb, "SHA256SUMS"]), released
    with zipfile.ZipFile(first) as archive:
        names = ["Falwick.EXE", "falwick-info.exe", "README.txt", "update-info-sample.txt",
                 "LICENSE.txt"]
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
    # One line for the zip, one for each file in it, one for the package, as sha256sum -c
    # reads them.
    sums = (dist / "SHA256SUMS").read_text().splitlines()
    assert sums == ["%s  %s" % (hashlib.sha256(first.read_bytes()).hexdigest(), first.name)] + [
        "%s  %s/%s" % (hashlib.sha256(data).hexdigest(), folder, name)
        for name, data in entries.items()] + [
        "%s  %s" % (hashlib.sha256((dist / deb).read_bytes()).hexdigest(), deb)]
    assert entries["LICENSE.txt"].decode() == \
        (source / "LICENSE").read_text().replace("\n", "\r\n")
    assert sample.startswith("VERSION=") and "\n" not in sample.replace("\r\n", "")
    assert times == {(2023, 11, 14, 22, 13, 20)}, times  # SOURCE_DATE_EPOCH, in UTC
    print("release.reproducible: %s and %s identical from %s and %s, Falwick.EXE %d bytes"
          % (first.name, deb, source, copy, len(entries["Falwick.EXE"])))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
