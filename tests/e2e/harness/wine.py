"""Wine for the end-to-end tests: a prefix of the tests' own inside the build tree, a
virtual X display, and runs of Windows programs with a controlled environment."""

import fcntl
import os
import shutil
import subprocess
import time
from contextlib import contextmanager

WINE = "wine"


def base_environment(prefix, display=None):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": str(prefix),
        "WINEDEBUG": "-all",
        # No Mono or Gecko installers when the prefix is made.
        "WINEDLLOVERRIDES": "mscoree=;mshtml=;winemenubuilder.exe=",
        # Wine's WinINet honours proxy variables: never send the tests' loopback
        # requests to a proxy some machine may have configured.
        "no_proxy": "127.0.0.1,localhost",
        "NO_PROXY": "127.0.0.1,localhost",
    })
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy"):
        env.pop(name, None)
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


@contextmanager
def _locked(path):
    path.parent.mkdir(parents=True, exist_ok=True)
    with open(str(path) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def make_prefix(prefix, fresh=False):
    """Creates the prefix with `wineboot -i` unless it exists (or `fresh` is asked)."""
    with _locked(prefix):
        if fresh and prefix.exists():
            subprocess.run(["wineserver", "-k"], env=base_environment(prefix),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shutil.rmtree(prefix)
        if not (prefix / "system.reg").exists():
            env = base_environment(prefix)
            subprocess.run(["wineboot", "-i"], env=env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def copy_prefix(prefix, copy):
    """A copy of `prefix` with a wineserver of its own (used for off-line runs)."""
    with _locked(copy):
        if not (copy / "system.reg").exists():
            subprocess.run(["wineserver", "-w"], env=base_environment(prefix),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shutil.copytree(prefix, copy, symlinks=True)


class VirtualDisplay:
    """An Xvfb server on a free display number, for as long as the object is open."""

    def __init__(self, width=1280, height=800):
        read_end, write_end = os.pipe()
        self._process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "%dx%dx24" % (width, height), "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number
        self.width, self.height = width, height

    def screenshot(self, png_path, rect=None):
        """A PNG of the screen; with `rect` ({left, top, right, bottom}), of that part."""
        xwd = str(png_path) + ".xwd"
        subprocess.run(["xwd", "-root", "-silent", "-display", self.name, "-out", xwd],
                       check=True)
        crop = []
        if rect is not None:
            crop = ["-crop", "%dx%d+%d+%d" % (rect["right"] - rect["left"],
                                              rect["bottom"] - rect["top"],
                                              rect["left"], rect["top"]), "+repage"]
        subprocess.run(["convert", xwd, *crop, str(png_path)], check=True)
        os.remove(xwd)

    def close(self):
        self._process.terminate()
        self._process.wait()


class Wine:
    """Runs Windows programs in one prefix, with a wineserver kept alive between runs."""

    def __init__(self, prefix, display=None):
        self.prefix = prefix
        self.display = display
        self.env = base_environment(prefix, display)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def run(self, program, *args, timeout=150, env=None):
        """Runs the program to its end; returns (exit code, seconds it took)."""
        started = time.monotonic()
        completed = subprocess.run([WINE, str(program), *args], env=env or self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   timeout=timeout)
        return completed.returncode, time.monotonic() - started

    def start(self, program, *args):
        return subprocess.Popen([WINE, str(program), *args], env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def reg(self, *args):
        subprocess.run([WINE, "reg", *args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def use_browser(self, program, class_name="falwicktest.htm"):
        """Makes `program` (a Unix path) the program for ".htm" files, started with the
        file as its argument; with None, Wine's own association (its browser launcher)."""
        if program is None:
            self.reg("add", r"HKCR\.htm", "/ve", "/d", "htmlfile", "/f")
            return
        self.reg("add", r"HKCR\.htm", "/ve", "/d", class_name, "/f")
        self.reg("add", r"HKCR\%s\shell\open\command" % class_name, "/ve", "/d",
                 '"%s" "%%1"' % self.windows_path(program), "/f")

    def windows_path(self, path):
        """The Windows name of a Unix path (Wine maps / to Z:)."""
        return "Z:" + str(path).replace("/", "\\")

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
