"""Packs the native falwick-info as a Debian package, DIST/falwick-info_<version>_<arch>.deb,
and lists it in DIST/SHA256SUMS (which release/package.py writes first).

Usage: python3 release/debian.py SOURCE_DIR FALWICK_INFO DIST_DIR WORK_DIR

The package holds
  usr/bin/falwick-info                      the program, stripped
  usr/share/doc/falwick-info/copyright      LICENSE, in Debian's machine-readable format
  usr/share/doc/falwick-info/changelog.gz   CHANGELOG.md's releases as a Debian changelog
and depends on the packages of the libraries the program links (libcurl4 for
libcurl.so.4 among them), as dpkg-shlibdeps finds them on the building machine. The
version is FALWICK_VERSION_DOTTED of ui/version.h, as for the zip; the package is
native (no Debian revision), so the file name holds the release's own version.

Like the zip, the package is the same byte for byte for the same inputs: every entry
dated SOURCE_DATE_EPOCH (else the last commit's time), owned by root, with fixed
permissions, in the order dpkg-deb sorts them; the changelog compressed with neither
name nor time (as gzip -n). WORK_DIR is emptied first."""

import gzip
import hashlib
import os
import re
import shutil
import subprocess
import sys
import textwrap
import time
from pathlib import Path

from package import source_date_epoch, version

PACKAGE = "falwick-info"
MAINTAINER = "the Falwick authors <falwick@orvanel.example>"
DESCRIPTION = """\
checks update-information files for Falwick, a Windows update notifier
 Falwick.EXE is a small Windows program that a product starts to find out
 whether a newer version of it has been published, from a small
 update-information file on the maker's web server.
 .
 falwick-info shows what Falwick makes of such a file: the version it reads,
 whether a user with a given version gets the notice, the notice's text,
 and a finding with its severity for every trap in the file. Given the
 file's http or https URL it fetches the file as Falwick does and reports
 how it is served (status, caching headers, compression, TLS).
 falwick-info write prints a well-formed file. --json gives one JSON
 object, for a release pipeline."""


def run(*command, **options):
    return subprocess.run([str(part) for part in command], check=True, capture_output=True,
                          text=True, **options).stdout


def copyright_file(source):
    """LICENSE as a machine-readable debian/copyright: the MIT licence is Debian's Expat."""
    text = (source / "LICENSE").read_text()
    holder = re.search(r"^Copyright \(c\) (.+)$", text, re.M).group(1)
    body = text.split(holder, 1)[1].strip("\n")
    licence = "\n".join(" " + line if line else " ." for line in body.split("\n"))
    return ("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
            "Upstream-Name: Falwick\n\n"
            "Files: *\nCopyright: %s\nLicense: Expat\n%s\n" % (holder, licence))


def releases(changelog):
    """[(version, date or None, [bullet text])] of CHANGELOG.md, newest first: each
    "## VERSION" or "## VERSION (YYYY-MM-DD)" heading and its "- " bullets, Markdown
    code spans and links made plain."""
    result = []
    for line in changelog.split("\n"):
        heading = re.match(r"^## (\S+)(?: \((\d{4}-\d{2}-\d{2})\))?\s*$", line)
        if heading:
            result.append((heading.group(1), heading.group(2), []))
        elif result and line.startswith("- "):
            result[-1][2].append(line[2:].strip())
        elif result and result[-1][2] and line.startswith("  ") and line.strip():
            result[-1][2][-1] += " " + line.strip()
    def plain(text):
        return re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text).replace("`", "")
    return [(number, date, [plain(bullet) for bullet in bullets])
            for number, date, bullets in result]


def debian_changelog(source, epoch):
    """CHANGELOG.md as a Debian changelog; a release without a date takes EPOCH's."""
    stanzas = []
    for number, date, bullets in releases((source / "CHANGELOG.md").read_text()):
        when = time.strptime(date, "%Y-%m-%d") if date else time.gmtime(epoch)
        items = "\n".join(textwrap.fill(bullet, 79, initial_indent="  * ",
                                        subsequent_indent="    ", break_on_hyphens=False)
                           for bullet in bullets)
        stanzas.append("%s (%s) unstable; urgency=medium\n\n%s\n\n -- %s  %s\n" % (
            PACKAGE, number, items, MAINTAINER, time.strftime("%a, %d %b %Y %H:%M:%S +0000",
                                                               when)))
    return "\n".join(stanzas)


def depends(work, program):
    """The Depends field for PROGRAM, from dpkg-shlibdeps (which wants a debian/control,
    empty will do, and the program inside debian/PACKAGE/)."""
    output = run("dpkg-shlibdeps", "-O", "-e" + str(program.relative_to(work)), cwd=work)
    match = re.search(r"^shlibs:Depends=(.*)$", output, re.M)
    if not match:
        raise SystemExit("debian: dpkg-shlibdeps found no libraries for %s" % program)
    return match.group(1)


def installed_size(root):
    """In KiB, as dpkg-gencontrol counts it: each file rounded up, one for each directory."""
    total = 0
    for path in root.rglob("*"):
        if path.is_relative_to(root / "DEBIAN"):
            continue
        total += 1 if path.is_dir() else -(-path.stat().st_size // 1024)
    return total


def main():
    source, program, dist, work = (Path(argument).resolve() for argument in sys.argv[1:5])
    number = version(source)
    epoch = source_date_epoch(source)
    architecture = run("dpkg", "--print-architecture").strip()
    if re.match(r"^[0-9][A-Za-z0-9.+~]*$", number) is None:
        raise SystemExit("debian: %s is no version of a native Debian package" % number)

    shutil.rmtree(work, ignore_errors=True)
    (work / "debian").mkdir(parents=True)
    (work / "debian" / "control").write_text("")
    root = work / "debian" / PACKAGE
    binary = root / "usr" / "bin" / PACKAGE
    doc = root / "usr" / "share" / "doc" / PACKAGE
    for directory in (binary.parent, doc, root / "DEBIAN"):
        directory.mkdir(parents=True)
    # As dh_strip does: no symbols, no compiler's comment; the build ID stays.
    run("strip", "--remove-section=.comment", "--remove-section=.note", "-o", binary, program)
    (doc / "copyright").write_text(copyright_file(source))
    (doc / "changelog.gz").write_bytes(
        gzip.compress(debian_changelog(source, epoch).encode(), compresslevel=9, mtime=0))

    files = sorted(path for path in root.rglob("*") if path.is_file())
    (root / "DEBIAN" / "md5sums").write_text("".join(
        "%s  %s\n" % (hashlib.md5(path.read_bytes()).hexdigest(), path.relative_to(root))
        for path in files))
    (root / "DEBIAN" / "control").write_text(
        "Package: %s\nVersion: %s\nArchitecture: %s\nMaintainer: %s\nInstalled-Size: %d\n"
        "Depends: %s\nSection: devel\nPriority: optional\nDescription: %s\n" % (
            PACKAGE, number, architecture, MAINTAINER, installed_size(root),
            depends(work, binary), DESCRIPTION))

    for path in [root, *root.rglob("*")]:
        path.chmod(0o755 if path.is_dir() or path == binary else 0o644)
        os.utime(path, (epoch, epoch), follow_symlinks=False)
    dist.mkdir(parents=True, exist_ok=True)
    deb = dist / ("%s_%s_%s.deb" % (PACKAGE, number, architecture))
    run("dpkg-deb", "--root-owner-group", "-Zxz", "--build", root, deb,
        env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)))

    digest = hashlib.sha256(deb.read_bytes()).hexdigest()
    sums = dist / "SHA256SUMS"
    lines = [line for line in (sums.read_text().splitlines(True) if sums.exists() else [])
             if not line.rstrip("\n").endswith("  " + deb.name)]
    sums.write_text("".join(lines) + "%s  %s\n" % (digest, deb.name))
    print("debian: %s (%d bytes), sha256 %s" % (deb, deb.stat().st_size, digest))


if __name__ == "__main__":
    main()
