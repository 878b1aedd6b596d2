"""The Debian package of the native falwick-info (release/debian.py), packed from this
tree's program: unpacked with dpkg-deb -x into a temporary directory, never installed,
its falwick-info runs; it depends on the package of the libcurl it links; its entries are
root's and dated SOURCE_DATE_EPOCH; lintian finds no error in it."""

import io
import json
import os
import subprocess
import sys
import tarfile
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "release"))
from package import version  # noqa: E402  (release/ is no package)

EPOCH = 1700000000
PROGRAM = Path(os.environ["FALWICK_INFO"])


def run(*command, check=True):
    return subprocess.run([str(part) for part in command], check=check, capture_output=True,
                          text=True)


@pytest.fixture(scope="module")
def deb(tmp_path_factory):
    work = tmp_path_factory.mktemp("package")
    subprocess.run(["/usr/bin/python3", SOURCE / "release" / "debian.py", SOURCE, PROGRAM,
                    work / "dist", work / "staging"], check=True, capture_output=True,
                   env=dict(os.environ, SOURCE_DATE_EPOCH=str(EPOCH)))
    return work / "dist" / ("falwick-info_%s_amd64.deb" % version(SOURCE))


def test_the_unpacked_program_tells_its_version_and_checks_a_file(deb, tmp_path):
    run("dpkg-deb", "-x", deb, tmp_path)
    program = tmp_path / "usr" / "bin" / "falwick-info"
    assert run(program, "--version").stdout == "falwick-info %s\n" % version(SOURCE)
    check = run(program, "check", SOURCE / "release" / "update-info-sample.txt",
                "--installed", "3.0.012", "--product", "Writer", "--json")
    report = json.loads(check.stdout)
    assert (check.returncode, report["newer"], report["findings"]) == (0, True, [])


def test_it_depends_on_the_libcurl_the_program_links(deb):
    libcurl = next(line.split()[2] for line in run("ldd", PROGRAM).stdout.splitlines()
                   if line.strip().startswith("libcurl.so"))
    owner = run("dpkg", "-S", os.path.realpath(libcurl)).stdout.split(":")[0]
    depends = [item.split()[0] for item in run("dpkg-deb", "-f", deb, "Depends").stdout.split(",")]
    assert owner in depends, (owner, depends)


def test_its_entries_are_roots_sorted_and_dated_source_date_epoch(deb):
    files = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], check=True,
                           capture_output=True).stdout
    with tarfile.open(fileobj=io.BytesIO(files)) as archive:
        entries = archive.getmembers()
    names = [entry.name for entry in entries]
    assert names == sorted(names)
    assert {entry.name: entry.mode for entry in entries if entry.isfile()} == {
        "./usr/bin/falwick-info": 0o755,
        "./usr/share/doc/falwick-info/changelog.gz": 0o644,
        "./usr/share/doc/falwick-info/copyright": 0o644}
    assert {(e.uid, e.gid, e.uname, e.gname, e.mtime) for e in entries} == \
        {(0, 0, "root", "root", EPOCH)}


def test_lintian_finds_no_error(deb):
    output = run("lintian", deb, check=False).stdout
    print(output)
    assert not [line for line in output.splitlines() if line.startswith("E:")], output
