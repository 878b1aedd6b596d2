"""The sample host product (examples/host, SampleHost.exe) under Wine: the [Host]
section of its INI written from the nine tokens, its window read and driven with the
host_driver helper, and the Falwick.EXE it starts, waited for as if this process had
started it."""

import ctypes
import os
import signal
import subprocess
import time

from harness import sample
from harness.falwick import ProgramDirectory

EXE = "SampleHost.exe"
INI = "SampleHost.ini"  # the host reads the INI named as itself, beside it
# The [Host] keys, by the token each gives; the mode is the host's own choice.
KEYS = {"product": "Product", "info_url": "InfoUrl", "info_file": "InfoFile",
        "installed": "Installed", "settings_file": "SettingsFile", "section": "Section",
        "key": "Key", "download_url": "DownloadUrl"}
PR_SET_CHILD_SUBREAPER = 36


def host_ini(tokens):
    """The [Host] section (text, CR-LF lines) that makes the host start Falwick with
    these nine tokens, in whichever mode it starts it."""
    chosen = dict(zip(sample.TOKEN_NAMES, tokens))
    return "[Host]\r\n" + "".join("%s=%s\r\n" % (key, chosen[name])
                                  for name, key in KEYS.items())


class Adopted:
    """A process that a Windows program started, once it is this process's child:
    poll, wait, terminate and kill as for a subprocess.Popen (and a WineProcess's
    report())."""

    def __init__(self, pid):
        self.pid, self.returncode = pid, None
        self.ended_at = None  # when its end was taken (time.time())

    def poll(self):
        if self.returncode is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.returncode = os.waitstatus_to_exitcode(status)
                self.ended_at = time.time()
        return self.returncode

    def wait(self, timeout=None):
        deadline = None if timeout is None else time.monotonic() + timeout
        while self.poll() is None:
            if deadline is not None and time.monotonic() >= deadline:
                raise subprocess.TimeoutExpired("pid %d" % self.pid, timeout)
            time.sleep(0.05)
        return self.returncode

    def send_signal(self, number):
        if self.poll() is None:
            os.kill(self.pid, number)

    def terminate(self):
        self.send_signal(signal.SIGTERM)

    def kill(self):
        self.send_signal(signal.SIGKILL)

    def report(self):
        return "pid %d, started by a Windows program: %s" % (
            self.pid, "running" if self.returncode is None else "exit code %d" % self.returncode)


def adopt_orphans():
    """Makes this process the parent of every orphan among its descendants. Wine starts
    a Windows program's child with a double fork, so the child's Linux process is an
    orphan at once: it comes here, where its exit status can be had."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def children_named(name):
    """This process's children whose Windows program is called `name` (Wine names the
    Linux process after the program's file; a child that has ended keeps the name)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                fields = stat.read()
        except OSError:
            continue
        comm, _, rest = fields[fields.index("(") + 1:].rpartition(")")
        if int(rest.split()[1]) == os.getpid() and comm.lower() == name[:15].lower():
            found.append(int(entry))
    return sorted(found)


class SampleHost:
    """SampleHost.exe in a program directory that holds Falwick.EXE, started under Wine;
    its window read and driven by host_driver, which keeps its answers in `work`."""

    def __init__(self, wine, programs, directory, work):
        self.wine, self.driver = wine, programs.host_driver
        self.directory, self.out = directory, work / "host.txt"
        ProgramDirectory(directory, None, programs={EXE: programs.sample_host})
        self.process = None

    def configure(self, tokens):
        (self.directory / INI).write_text(host_ini(tokens), newline="")

    def start(self):
        adopt_orphans()
        self.process = self.wine.start(self.directory / EXE)

    def drive(self, *actions):
        """Performs host_driver's actions (click, save, rect, close); False when they
        could not all be done (no window within 30 seconds, say)."""
        status, _ = self.wine.run(self.driver, self.wine.windows_path(self.out), *actions)
        return status == 0

    def log(self):
        """The lines its window shows: the setting it read, what it started."""
        if not self.drive("save"):
            return []
        return self.out.read_text(encoding="latin-1").splitlines()

    def rect(self):
        """Its window's {left, top, right, bottom} on the screen, or None."""
        if not self.drive("rect"):
            return None
        return dict(zip(("left", "top", "right", "bottom"),
                        map(int, self.out.read_text().split())))

    def falwick(self, timeout=30):
        """The Falwick.EXE it started (the first, when several), or None when it started
        none within `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while not (found := children_named("Falwick.EXE")):
            if time.monotonic() >= deadline or self.process.poll() is not None:
                return None
            time.sleep(0.05)
        return Adopted(found[0])

    def close(self):
        """Closes its window; ends it when it does not go."""
        if self.process is None:
            return
        self.drive("close")
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
