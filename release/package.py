"""Packs a release of Falwick.EXE: DIST/Falwick-<version>-win64.zip and DIST/SHA256SUMS
(release/debian.py then adds the Debian package's line).

Usage: python3 release/package.py SOURCE_DIR FALWICK_EXE FALWICK_INFO_EXE DIST_DIR

The zip holds, in one folder Falwick-<version>-win64/:
  Falwick.EXE                the program
  falwick-info.exe           the product maker's tool for update-information files
  README.txt                 the front page and the guides for integrators and makers,
                             CR LF line ends (release/pages.py says which and how)
  update-info-sample.txt     a sample update-information file, CR LF line ends
  LICENSE.txt                the licence (LICENSE), CR LF line ends

SHA256SUMS has one line for the zip and one for each file in it (by its path in the
zip), in the format of sha256sum: after unzipping in DIST, `sha256sum -c SHA256SUMS`
checks them all. The programs are packed as given, signed or not.

The version is FALWICK_VERSION_DOTTED of ui/version.h. The archive is the same, byte for
byte, for the same inputs: fixed order, every entry dated SOURCE_DATE_EPOCH (else the
last commit's time, else 1980-01-01) in UTC, no owner or permission bits, fixed
compression."""

import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile
from pathlib import Path

from pages import zip_readme

ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC, the earliest time a zip entry can hold


def version(source):
    text = (source / "ui" / "version.h").read_text()
    match = re.search(r'^#define FALWICK_VERSION_DOTTED "([0-9.]+)"', text, re.M)
    if not match:
        raise SystemExit("package: no FALWICK_VERSION_DOTTED in ui/version.h")
    return match.group(1)


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def source_date_epoch(source):
    """SOURCE_DATE_EPOCH, else the last commit's time, else 1980-01-01, in seconds; never
    before 1980-01-01."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch is None:
        try:
            epoch = subprocess.run(["git", "-C", str(source), "log", "-1", "--format=%ct"],
                                   capture_output=True, text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = ""
    return max(int(epoch) if epoch else ZIP_EPOCH, ZIP_EPOCH)


def entry_time(source):
    return time.gmtime(source_date_epoch(source))[:6]


def main():
    source, exe, info_exe, dist = (Path(argument) for argument in sys.argv[1:5])
    name = "Falwick-%s-win64" % version(source)
    entries = [
        ("Falwick.EXE", exe.read_bytes()),
        ("falwick-info.exe", info_exe.read_bytes()),
        ("README.txt", zip_readme(source).encode()),
        ("update-info-sample.txt",
         crlf((source / "release" / "update-info-sample.txt").read_text()).encode()),
        ("LICENSE.txt", crlf((source / "LICENSE").read_text()).encode()),
    ]
    dist.mkdir(parents=True, exist_ok=True)
    archive = dist / (name + ".zip")
    when = entry_time(source)
    with zipfile.ZipFile(archive, "w") as zip_file:
        for file_name, data in entries:
            info = zipfile.ZipInfo("%s/%s" % (name, file_name), date_time=when)
            info.create_system = 0  # MS-DOS attributes: none
            info.external_attr = 0
            info.compress_type = zipfile.ZIP_DEFLATED
            zip_file.writestr(info, data, compresslevel=9)
    digest = hashlib.sha256(archive.read_bytes()).hexdigest()
    sums = ["%s  %s\n" % (digest, archive.name)]
    sums += ["%s  %s/%s\n" % (hashlib.sha256(data).hexdigest(), name, file_name)
             for file_name, data in entries]
    (dist / "SHA256SUMS").write_text("".join(sums))
    print("package: %s (%d bytes), sha256 %s" % (archive, archive.stat().st_size, digest))


if __name__ == "__main__":
    main()
