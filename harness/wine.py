"""A Wine session: a prefix, an X display (a virtual one of the session's own unless
told), a wineserver kept alive between runs, and runs of Windows programs with a
controlled environment. Off-line runs, in a network namespace, are in harness.offline."""

import fcntl
import logging
import os
import shutil
import subprocess
import tempfile
import threading
import time
from contextlib import contextmanager
from pathlib import Path

WINE = "wine"
# Every start of a Windows program is logged here when it has ended (INFO; a start that
# was repeated, WARNING): the tests show the log of a test that fails.
log = logging.getLogger("harness.wine")

# WinINet takes its proxy from these (with or without http://): a proxy some machine
# has configured must never see the harness's loopback requests.
PROXY_VARIABLES = {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy"}
# Loopback bypasses a proxy in a form WinINet reads: it takes one host, or hosts
# separated by ";" or spaces; a comma list ("127.0.0.1,localhost") does nothing. It
# replaces the Windows setting's ProxyOverride too: a run meant to go through the
# Windows proxy setting removes it (harness.proxy).
NO_PROXY = "127.0.0.1;localhost"

# Now and then Wine's 64-bit loader cannot lay out a new process (its fixed address
# ranges meet a mapping the kernel placed at random) and the process ends at once with
# a non-zero code, having run nothing of the program. What it printed names the loader
# or the client side of the wineserver, never the program; and no program gets to run
# under Wine sooner than FASTEST_RUN after its start (a start alone takes 0.1 s and
# more here). Such a start is repeated.
LOADER_FAILURES = (b"preloader:", b"wine client error", b"wine: could not", b"wine: failed")
FASTEST_RUN = 0.05
LOADER_ATTEMPTS = 3


def loader_failed(code, errors, seconds):
    """Whether a run that ended with `code` after `seconds`, having printed `errors`
    (bytes) on standard error, never got to run its program."""
    return code != 0 and (seconds < FASTEST_RUN
                          or any(marker in errors for marker in LOADER_FAILURES))


class WineProcess:
    """A Windows program started under Wine, the one way the harness starts one: Falwick,
    the helpers, the sample host and Wine's own tools alike. What Wine prints on standard
    error goes to a file of its own (`errors`: a path, or None for a temporary file);
    with `repeat`, a start that Wine's loader failed (loader_failed) is started again, at
    most LOADER_ATTEMPTS times in all. Every start is timed; report() tells how each
    went and what Wine printed, and is logged once the last start has ended. pid,
    poll(), wait(), kill() and returncode are the last start's; the pid is the Windows
    program's own (Wine's loader runs it in place)."""

    def __init__(self, command, env, errors=None, stdout=subprocess.DEVNULL, repeat=True):
        self.command, self.env, self.stdout = command, env, stdout
        self.name = os.path.basename(str(command[1]).replace("\\", "/"))
        self.attempts = LOADER_ATTEMPTS if repeat else 1
        self.errors = open(errors, "w+b") if errors is not None else tempfile.TemporaryFile()
        self.stderr = b""  # what Wine printed at the last start, once it has ended
        self.ended_at = None  # when its end was taken (time.time())
        self.starts = []  # one line of report() for each start that has ended
        self.returncode = None
        self.killed = False  # stopped before it ended by itself
        self._lock = threading.Lock()
        self._spawn()

    def _spawn(self):
        for output in (self.errors, self.stdout):
            if hasattr(output, "truncate"):  # a file: what an earlier start wrote goes
                output.seek(0)
                output.truncate()
        self.began = time.time()
        self._began = time.monotonic()
        self._process = subprocess.Popen(self.command, env=self.env, stdin=subprocess.DEVNULL,
                                         stdout=self.stdout, stderr=self.errors)

    @property
    def pid(self):
        return self._process.pid

    def _ended(self, code):
        """Takes the end of the current start; True when it is the last."""
        with self._lock:
            if self.returncode is not None:
                return True
            seconds = time.monotonic() - self._began
            self.errors.seek(0)
            self.stderr = self.errors.read()
            again = (not self.killed and len(self.starts) + 1 < self.attempts
                     and loader_failed(code, self.stderr, seconds))
            self.starts.append("%s started %s.%03d: %s after %.3f s%s%s" % (
                self.name, time.strftime("%H:%M:%S", time.localtime(self.began)),
                self.began % 1 * 1000, "stopped" if self.killed else "exit code %d" % code,
                seconds, ", Wine's loader failed: started again" if again else "",
                "".join("\n  | " + line for line in self.stderr.decode("latin-1").splitlines())))
            if again:
                self._spawn()
                return False
            self.returncode = code
            self.ended_at = time.time()
            self.errors.close()
        log.log(logging.WARNING if len(self.starts) > 1 else logging.INFO, "%s\n  %s",
                " ".join(str(part) for part in self.command[1:])[:400], self.report())
        return True

    def poll(self):
        while self.returncode is None:
            code = self._process.poll()
            if code is None or self._ended(code):
                break
        return self.returncode

    def wait(self, timeout=None):
        """The exit code once the last start has ended; subprocess.TimeoutExpired when
        that has not come within `timeout` seconds."""
        deadline = None if timeout is None else time.monotonic() + timeout
        while self.returncode is None:
            left = None if deadline is None else max(0.0, deadline - time.monotonic())
            self._ended(self._process.wait(left))
        return self.returncode

    def kill(self):
        """Stops it for good (no start follows) and waits for its end."""
        with self._lock:
            if self.returncode is None:
                self.killed = True
                self._process.kill()
        return self.wait()

    terminate = kill

    def report(self):
        """Each start that has ended: when, how it ended, how long it took, and what Wine
        printed on standard error."""
        return "\n  ".join(self.starts) if self.starts else "%s: running" % self.name


def base_environment(prefix, display=None):
    """The environment of every Wine process: this one's without proxy variables, the
    prefix, Wine silent, no installers, and the X display (none when not given)."""
    env = {name: value for name, value in os.environ.items()
           if name.lower() not in PROXY_VARIABLES | {"no_proxy"}}
    env.update({
        "WINEPREFIX": str(prefix),
        "WINEDEBUG": "-all",
        # No Mono or Gecko installers when the prefix is made.
        "WINEDLLOVERRIDES": "mscoree=;mshtml=;winemenubuilder.exe=",
        "no_proxy": NO_PROXY,
    })
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


# Wine's modules and code pages: wineboot writes them into a prefix, and programs only
# map them. A copy of a prefix links them rather than copy some 650 MB.
SHARED_SUFFIXES = (".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".tlb", ".nls",
                   ".com", ".ax")


def _link_or_copy(source, target):
    if source.lower().endswith(SHARED_SUFFIXES):
        try:
            os.link(source, target)
            return target
        except OSError:
            pass  # another file system
    return shutil.copy2(source, target)


def copy_prefix(prefix, copy):
    """A fresh copy of `prefix` at `copy` (one there before removed, its wineserver
    ended), for a Wine session of its own: a wineserver and registry of its own."""
    with _locked(copy):
        if copy.exists():
            subprocess.run(["wineserver", "-k"], env=base_environment(copy),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shutil.rmtree(copy)
        subprocess.run(["wineserver", "-w"], env=base_environment(prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.copytree(prefix, copy, symlinks=True, copy_function=_link_or_copy)


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
    """Runs Windows programs in one prefix, with a wineserver kept alive between runs.
    `env` is the environment of every run unless a run is given its own."""

    def __init__(self, prefix, display=None):
        self.prefix = Path(prefix)
        self.display = display  # the X display's name
        self.screen = None  # the VirtualDisplay, when the session has one of its own
        self.browser = None  # the program use_browser() made the ".htm" program
        self.env = base_environment(self.prefix, display)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def environment(self, **changes):
        """A copy of `env` with `changes`; None removes a variable (a run through a
        proxy, say: http_proxy="http://127.0.0.1:PORT", no_proxy=None)."""
        env = dict(self.env)
        for name, value in changes.items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        return env

    @staticmethod
    def command(program, *args):
        return [WINE, str(program), *(str(arg) for arg in args)]

    def start(self, program, *args, env=None, errors=None, stdout=subprocess.DEVNULL,
              repeat=True):
        """Starts the program: a WineProcess (see there for `errors`, `stdout` and
        `repeat`)."""
        return WineProcess(self.command(program, *args), env or self.env, errors, stdout,
                           repeat)

    def run(self, program, *args, timeout=150, env=None):
        """Runs the program to its end; returns (exit code, seconds it took)."""
        started = time.monotonic()
        code, _, _ = self.output(program, *args, timeout=timeout, env=env)
        return code, time.monotonic() - started

    def output(self, program, *args, timeout=120, env=None):
        """Runs the program to its end; returns (exit code, standard output, standard
        error) as bytes. Standard output goes through a file: Wine's services, when this
        run starts them, inherit the run's pipes and would hold them open. One that has
        not ended within `timeout` seconds is stopped: subprocess.TimeoutExpired."""
        with tempfile.TemporaryFile() as out:
            process = self.start(program, *args, env=env, stdout=out)
            try:
                code = process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                raise
            out.seek(0)
            return code, out.read(), process.stderr

    def cmd(self, *command):
        """What `cmd /c COMMAND` prints (standard output, then error), as text."""
        _, out, err = self.output("cmd", "/c", *command)
        return (out + err).decode("latin-1")

    # The registry. Keys as `reg` spells them (HKCU\Software\...).

    def reg(self, *args):
        code, _, errors = self.output("reg", *args)
        if code != 0:
            raise subprocess.CalledProcessError(code, ["reg", *args], stderr=errors)

    def reg_add(self, key, name=None, data=None, kind=None):
        """Sets value `name` of `key` (None: its default value) to `data`: a str
        (REG_SZ unless `kind` says otherwise: REG_DWORD, ...), or bytes (REG_BINARY)."""
        if isinstance(data, bytes):
            data, kind = data.hex(), kind or "REG_BINARY"
        args = ["add", key] + (["/ve"] if name is None else ["/v", name])
        args += (["/t", kind] if kind else []) + ([] if data is None else ["/d", data])
        self.reg(*args, "/f")

    def reg_delete(self, key, name=None):
        """Deletes value `name` of `key`, or the whole key; False when it was not there."""
        args = ["delete", key] + ([] if name is None else ["/v", name]) + ["/f"]
        code, _, _ = self.output("reg", *args)
        return code == 0

    def reg_value(self, key, name):
        """The data of value `name` of `key`, as `reg query` prints it, or None."""
        code, out, _ = self.output("reg", "query", key, "/v", name)
        if code != 0:
            return None
        for line in out.decode("latin-1").splitlines():
            fields = line.split(None, 2)
            if len(fields) == 3 and fields[0].lower() == name.lower():
                return fields[2].strip()
        return None

    def use_browser(self, program, class_name="falwicktest.htm"):
        """Makes `program` (a Unix path) the program for ".htm" files, started with the
        file as its argument; with None, Wine's own association (its browser launcher)."""
        self.browser = program
        if program is None:
            self.reg_add(r"HKCR\.htm", data="htmlfile")
            return
        self.reg_add(r"HKCR\.htm", data=class_name)
        self.reg_add(r"HKCR\%s\shell\open\command" % class_name,
                     data='"%s" "%%1"' % self.windows_path(program))

    def browsers_settled(self, timeout=30):
        """Waits until no process of the program use_browser() made the ".htm" program
        runs in this prefix; False when one still runs after `timeout` seconds. Once a
        Windows program has ended, every program it started is running or done: Wine's
        CreateProcess returns when the new process has started."""
        return self.browser is None or wait_until(lambda: not self.running(self.browser),
                                                  timeout)

    # Paths and processes.

    @staticmethod
    def windows_path(path):
        """The Windows name of a Unix path (Wine maps / to Z:)."""
        return "Z:" + str(path).replace("/", "\\")

    def unix_path(self, windows_path):
        _, out, _ = self.output("winepath", "-u", windows_path)
        return Path(out.decode("latin-1").strip())

    def temp_dir(self):
        """Wine's temporary directory (%TMP%, where GetTempPathA points) as a Unix path."""
        windows = self.cmd("echo %TMP%").strip()
        if not windows or "%" in windows:
            raise RuntimeError("Wine gave no temporary directory: %r" % windows)
        return self.unix_path(windows)

    def may_write(self, path):
        """Whether a Windows program may create or overwrite the file (a Unix path)."""
        return "Access denied" not in self.cmd("echo", "x>", self.windows_path(path))

    def running(self, program):
        """Whether a process of the Windows program (a Unix path) runs in this prefix."""
        name = self.windows_path(program).lower()
        return process_running(lambda first: first == name, self.prefix)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


@contextmanager
def session(prefix, display=None):
    """A Wine session in `prefix` (made first when missing) on the X display named
    `display`, or on a virtual display of its own (`screen`) when None. Its wineserver
    and display end with the block."""
    make_prefix(Path(prefix))
    screen = None if display else VirtualDisplay()
    try:
        wine = Wine(prefix, display or screen.name)
        wine.screen = screen
        try:
            yield wine
        finally:
            wine.close()
    finally:
        if screen is not None:
            screen.close()


def process_running(matches, prefix=None):
    """Whether a process runs whose program satisfies `matches`: Wine shows a process's
    command line with its program's Windows path first, which `matches` is given in lower
    case. With `prefix`, only processes of that Wine prefix count (by their WINEPREFIX,
    which Wine hands on to every process it starts)."""
    wanted = None if prefix is None else ("WINEPREFIX=%s" % prefix).encode()
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                first = cmdline.read().split(b"\0")[0].decode("latin-1").lower()
            if not first or not matches(first):
                continue
            if wanted is not None:
                with open("/proc/%s/environ" % entry, "rb") as environ:
                    if wanted not in environ.read().split(b"\0"):
                        continue
        except OSError:
            continue
        return True
    return False


def wait_until(condition, timeout=30.0, interval=0.05):
    """Polls `condition` until it holds; returns its last value (falsy on time-out)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)
