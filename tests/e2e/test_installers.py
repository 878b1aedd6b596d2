"""The sample host product installed by its real installers (examples/installer), per
user into %LOCALAPPDATA%\\Programs\\Writer: the NSIS setup program and the MSI built by
wixl, each run silently under Wine through a product's whole life.

Installed, the host starts Falwick from the installed folder, the notice appears
against a local server and the user's answer is stored in the settings file there.
A later version installed over it replaces the program and the host's configuration
and keeps the user's setting. Uninstalled, nothing of the product is left, not even
the info file of a check that was cut off, and nothing else of the user's profile has
changed."""

import os
import re

import pytest

from harness import ini
from harness.falwick import INTERNET_CACHE, ProgramDirectory, snapshot
from harness.installer import SHIPPED, UNINSTALL_KEY, VERSIONS, Installer, InstalledHost
from harness.runs import Case
from harness.sample import NEWER
from harness.wine import wait_until

SETTINGS_FILE = "writer.ini"  # SettingsFile in the shipped SampleHost.ini
INFO_FILE = "writer-update.txt"  # InfoFile likewise
# Besides the shipped files, what each installer adds to the folder.
UNINSTALLER = {"nsis": {"Uninstall.exe"}, "msi": set()}
PRODUCT_KEY = r"HKCU\Software\Orvanel\Writer"  # the MSI components' key paths
# What WinINet keeps for the user, whoever fetches: its cache and its cookie index.
WININET = (INTERNET_CACHE, "/AppData/Local/Microsoft/Windows/INetCookies/")


def point_at(folder, url):
    """Points the installed host's InfoUrl at `url`, as a tester of the product would;
    the rest of SampleHost.ini stays as the installer wrote it."""
    path = folder / "SampleHost.ini"
    text = path.read_bytes().decode("latin-1")
    path.write_bytes(re.sub(r"(?m)^InfoUrl=.*$", "InfoUrl=" + url.replace("\\", r"\\"),
                            text).encode("latin-1"))


def profile_files(wine, installer):
    """Every file of the user's profile and of Windows' installer cache, with its size
    and time; WinINet's files and the NSIS uninstaller's own copy, left for Windows to
    delete at its next start, aside."""
    profile = installer.folder.parents[3]  # C:\users\<user>
    pending = installer.pending_deletions()
    return {path: stamp for path, stamp in
            snapshot(profile, wine.prefix / "drive_c" / "windows" / "Installer").items()
            if not any(part in path for part in WININET) and not pending & {path, os.path.dirname(path)}}


def key_exists(wine, key):
    code, _, _ = wine.output("reg", "query", key)
    return code == 0


@pytest.mark.parametrize("kind", ["nsis", "msi"])
def test_install_check_upgrade_and_uninstall(wine, programs, runner, server, tmp_path, kind):
    installer = Installer(wine, programs, kind)
    folder = installer.folder
    assert not folder.exists(), "left over from an earlier run: %s" % folder
    # The user's own things beside the product: untouched by everything below.
    others = folder.parent / "Other"
    others.mkdir(parents=True, exist_ok=True)
    (others / "notes.txt").write_text("mine")
    before = profile_files(wine, installer)

    # Installed, and started as the user starts it.
    assert installer.install(VERSIONS[0]) == 0
    assert {p.name for p in folder.iterdir()} == SHIPPED | UNINSTALLER[kind]
    shipped = (folder / "SampleHost.ini").read_bytes()
    assert ini.value(shipped, "Host", "Installed") == VERSIONS[0]
    server.serve("/info.txt", NEWER)
    point_at(folder, server.url("/info.txt"))
    host = InstalledHost(wine, programs, folder, tmp_path)
    host.start()
    try:
        falwick = host.falwick()
        assert falwick is not None, host.log()
        run = runner.run(kind, Case(program=ProgramDirectory(folder, None), server=server,
                                    start=lambda: falwick), ("tick", "no"))
        assert run.shown and run.exit_code == 0
        assert "Writer Version 3.0.014 " in run.notice_text().decode("latin-1")
        started = [line for line in host.log() if line.startswith("Started: ")]
        assert started and started[0].startswith(
            'Started: "%s\\Falwick.EXE" <Writer><PU>' % installer.windows_folder)
    finally:
        host.close()
    assert len(server.requests) == 1
    settings = (folder / SETTINGS_FILE).read_bytes()
    assert ini.value(settings, "Options", "NoUpdateCheck") == "1"
    # A check cut off while it downloads leaves the info file behind.
    (folder / INFO_FILE).write_bytes(NEWER)

    # A later version over it: new program and configuration, the user's setting kept.
    assert installer.install(VERSIONS[1]) == 0
    assert ini.value((folder / "SampleHost.ini").read_bytes(), "Host",
                     "Installed") == VERSIONS[1]
    assert (folder / SETTINGS_FILE).read_bytes() == settings
    host = InstalledHost(wine, programs, folder, tmp_path)
    host.start()
    try:
        assert wait_until(lambda: "Not started at start-up: the user disabled it." in
                          host.log()), host.log()
    finally:
        host.close()

    # Uninstalled: the folder, its registration and nothing else.
    assert installer.uninstall() == 0
    assert not folder.exists(), sorted(p.name for p in folder.iterdir())
    assert not key_exists(wine, UNINSTALL_KEY) and not key_exists(wine, PRODUCT_KEY)
    after = profile_files(wine, installer)
    changed = {path for path in set(before) | set(after) if before.get(path) != after.get(path)}
    assert changed == set()
    assert (others / "notes.txt").read_text() == "mine"
