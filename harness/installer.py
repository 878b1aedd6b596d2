"""The sample host's installers (examples/installer) under Wine: a per-user NSIS setup
program and a per-user MSI, each built for two versions of the product, run silently
to install, upgrade and uninstall, and the host they installed, started where they
put it."""

import re
from pathlib import Path

from harness.host import SampleHost
from harness.wine import process_running, wait_until

PRODUCT_FOLDER = ("Programs", "Writer")  # under the user's %LOCALAPPDATA%
VERSIONS = ("3.0.012", "3.5.014")  # the first install, then its upgrade
# What each installer puts into the folder (besides what the product writes later).
SHIPPED = {"SampleHost.exe", "Falwick.EXE", "SampleHost.ini"}
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Writer"
# The NSIS uninstaller runs as a copy of itself in the user's Temp folder
# (~nsuN.tmp\Un.exe), which it cannot delete while it runs: it asks Windows to delete
# the copy and its folder at the next start (PendingFileRenameOperations).
NSIS_UNINSTALLER_COPY = re.compile(r"\\~nsu[^\\]*\.tmp\\un\.exe$")


def local_app_data(wine):
    """The user's %LOCALAPPDATA%, as Windows spells it."""
    windows = wine.cmd("echo %LOCALAPPDATA%").strip()
    if not windows or "%" in windows:
        raise RuntimeError("Wine gave no LOCALAPPDATA: %r" % windows)
    return windows


class Installer:
    """One kind of installer ("nsis" or "msi") of the build tree, for the user of the
    Wine session. `folder` is where it installs the product (a Unix path)."""

    def __init__(self, wine, programs, kind):
        if kind not in ("nsis", "msi"):
            raise ValueError(kind)
        self.wine, self.kind = wine, kind
        self.built = Path(programs.installers)
        # Where it installs the product: as Windows spells it, and as a Unix path.
        self.windows_folder = "\\".join((local_app_data(wine),) + PRODUCT_FOLDER)
        self.folder = wine.unix_path(self.windows_folder)

    def package(self, version):
        name = ("WriterSetup-%s.exe" if self.kind == "nsis" else "Writer-%s.msi") % version
        return self.built / name

    def install(self, version):
        """Installs (or upgrades to) `version` silently; returns the exit status."""
        package = self.package(version)
        if self.kind == "nsis":
            status, _ = self.wine.run(package, "/S")
        else:
            status, _ = self.wine.run("msiexec", "/i", self.wine.windows_path(package), "/qn")
        return status

    def uninstall(self, timeout=60):
        """Uninstalls silently, as Apps & features would, and waits until the
        uninstaller has ended; returns the exit status."""
        if self.kind == "nsis":
            status, _ = self.wine.run(self.folder / "Uninstall.exe", "/S")
            # The uninstaller hands over to its copy in Temp and returns at once.
            if not wait_until(lambda: not process_running(NSIS_UNINSTALLER_COPY.search,
                                                          self.wine.prefix), timeout):
                raise RuntimeError("the NSIS uninstaller did not end")
            return status
        # The package the product was installed from is the one Windows keeps; any
        # version's package names the same product for /x once installed.
        status, _ = self.wine.run("msiexec", "/x", self.wine.windows_path(
            self.package(VERSIONS[-1])), "/qn")
        return status

    def pending_deletions(self):
        """The files and folders Windows is asked to delete at its next start (Unix
        paths, as text), from PendingFileRenameOperations."""
        value = self.wine.reg_value(
            r"HKLM\System\CurrentControlSet\Control\Session Manager",
            "PendingFileRenameOperations") or ""
        # REG_MULTI_SZ as reg prints it: the strings separated by "\0"; each pair is a
        # source and a target, an empty target meaning "delete".
        found = set()
        for item in value.split("\\0"):
            if item.startswith("\\??\\"):
                found.add(str(self.wine.unix_path(item[4:])))
        return found


class InstalledHost(SampleHost):
    """The SampleHost.exe an installer put into `directory`, run where it is: started,
    its window read and driven (see SampleHost), nothing copied in."""

    def __init__(self, wine, programs, directory, work):  # pylint: disable=super-init-not-called
        self.wine, self.driver = wine, programs.host_driver
        self.directory, self.out = directory, work / "host.txt"
        self.process = None
