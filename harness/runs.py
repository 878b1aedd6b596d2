"""Falwick runs watched from every side at once, for the robustness suites: its exit
code and time, its peak memory, the notice dialog (answered by the dialog driver), the
browser starts, the server's requests, and what is left in its program directory.

Several runs can go at the same time, each in its own program directory against its
own server, so that cases bounded by the 60-second fetch deadline cost one minute
together. Dialogs are told apart by the product name they show: every run gets its own."""

import os
import shutil
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

from harness import sample
from harness.falwick import BrowserLog
from harness.notice import DialogDriver, Watcher
from harness.server import LocalServer


@dataclass
class Case:
    """One run: what the server answers at /info.txt (a Response, or a function that
    sets up the server), the mode, and what lies in the program directory beforehand."""

    answer: object = None
    mode: str = "PU"
    path: str = "/info.txt"
    settings: bytes = sample.HOST_SETTINGS  # None: no settings file
    stale_info: bytes = None  # an info file left in the program directory
    tls: object = None  # ssl.SSLContext: the server speaks https
    host: str = "127.0.0.1"  # the server's name in the URL ("localhost" for trusted https)
    overrides: dict = field(default_factory=dict)  # other command-line tokens
    directory: str = "Writer"  # the program directory, under "Program Files"
    shared_directory: Path = None  # a program directory other runs use too
    prepare: object = None  # called with the program directory before the start
    env: dict = None  # environment variables over the session's (None removes one)


@dataclass
class Outcome:
    name: str
    product: str
    exit_code: int
    seconds: float
    dialog: dict  # what the dialog driver saw, or None when no dialog appeared
    dialog_seconds: float  # when it was seen, counted from the start
    browser: list  # one entry per browser start: its command line
    requests: list
    connections: int
    files: set  # the program directory's files after the run
    settings_before: bytes
    settings_after: bytes
    peak_memory_kib: int  # VmHWM of the process, sampled from /proc while it ran
    program_dir: Path = None
    browser_log: Path = None
    download_url: str = sample.DEFAULTS["download_url"]

    def read_browser_log(self, wait=0.0):
        self.browser = BrowserLog(self.browser_log).launches(wait)
        return self.browser

    def dialog_text(self):
        return " ".join(control["text"] for control in self.dialog["controls"])

    def check(self, dialog, browser, leftover=()):
        """The checks every case makes: exit code 0; the dialog shown or not; the
        browser started with the download URL or not at all; no info file left behind;
        the settings file as it was unless the dialog ran."""
        assert self.exit_code == 0, self
        if dialog:
            assert self.dialog is not None, "no notice appeared: %s" % self
        else:
            assert self.dialog is None, "an unexpected notice: %s" % self.dialog
        if browser and not self.browser:
            self.read_browser_log(wait=15)  # a busy machine starts the browser late
        assert self.browser == ([self.download_url] if browser else []), self.browser
        expected = {"Falwick.EXE", *leftover}
        if self.settings_before is not None:
            expected.add("writer.ini")
        if dialog and self.settings_before is None:
            expected.add("writer.ini")  # created by the write after the dialog
        assert self.files == expected
        if not dialog:
            assert self.settings_after == self.settings_before


class Launch:
    """One Falwick process in a program directory of its own, with its own server and
    browser log; its memory is sampled while it runs."""

    def __init__(self, runner, name, case, product):
        self.name, self.case, self.product = name, case, product
        self.wine = runner.wine
        self.root = runner.base / name
        if self.root.exists():
            shutil.rmtree(self.root)
        self.root.mkdir(parents=True)
        self.program_dir = case.shared_directory or self.root / "Program Files" / case.directory
        self.program_dir.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(runner.exe, self.program_dir / "Falwick.EXE")
        self.settings = self.program_dir / "writer.ini"
        if case.settings is not None:
            self.settings.write_bytes(case.settings)
        if case.stale_info is not None:
            (self.program_dir / "info.txt").write_bytes(case.stale_info)
        if case.prepare is not None:
            case.prepare(self.program_dir)
        self.browser_log = self.root / "browser.log"
        self.server = LocalServer(tls=case.tls, host=case.host)
        if callable(case.answer):
            case.answer(self.server)
        elif case.answer is not None:
            self.server.scenario[case.path] = case.answer
        self.server.start()
        self.tokens = sample.tokens(self.server, case.path, product=product, mode=case.mode,
                                    **case.overrides)
        self.hwm_kib = 0
        self.alone = True  # no other run overlapped this one

    def start(self):
        env = self.wine.environment(**BrowserLog(self.browser_log).environment(self.wine),
                                    **(self.case.env or {}))
        self.settings_before = self.settings.read_bytes() if self.settings.exists() else None
        self.started = time.monotonic()
        self.started_wall = time.time()
        self.process = self.wine.start(self.program_dir / "Falwick.EXE",
                                       sample.command_line(self.tokens), env=env)
        self.ended = threading.Event()
        threading.Thread(target=self._reap, daemon=True).start()
        threading.Thread(target=self._sample, daemon=True).start()

    def _reap(self):
        self.process.wait()
        self.seconds = time.monotonic() - self.started
        self.ended.set()

    def _sample(self):
        # The pid is that of the Wine process running Falwick.EXE: the loader execs in
        # place. VmHWM, its peak resident memory, only grows; the last sample is at most
        # one period old. (The kernel's rusage would not do: it keeps the peak of the
        # loader's earlier stages too.)
        status = "/proc/%d/status" % self.process.pid
        while not self.ended.is_set():
            try:
                with open(status) as lines:
                    for line in lines:
                        if line.startswith("VmHWM:"):
                            self.hwm_kib = max(self.hwm_kib, int(line.split()[1]))
            except (OSError, ValueError):
                pass
            time.sleep(0.05)

    def wait(self, deadline):
        if not self.ended.wait(max(0.0, deadline - time.monotonic())):
            self.process.kill()
            self.ended.wait()
            raise AssertionError("%s: Falwick did not end in time" % self.name)

    def shows(self, dialog):
        """Whether the dialog is this run's: its text names this run's product."""
        return any(c["text"].startswith(self.product + " Version ") for c in dialog["controls"])

    def outcome(self, dialogs):
        """The run's outcome. Its notice is the one that names its product, or, for a
        run no other overlapped, any notice seen while it ran."""
        self.server.stop()
        mine = [(found, d) for found, d in dialogs
                if found >= self.started_wall - 1 and (self.alone or self.shows(d))]
        return Outcome(
            name=self.name, product=self.product, exit_code=self.process.returncode,
            seconds=self.seconds, dialog=mine[0][1] if mine else None,
            dialog_seconds=mine[0][0] - self.started_wall if mine else None, browser=[],
            requests=list(self.server.requests), connections=self.server.connections,
            files=set(os.listdir(self.program_dir)), settings_before=self.settings_before,
            settings_after=self.settings.read_bytes() if self.settings.exists() else None,
            peak_memory_kib=self.hwm_kib,
            program_dir=self.program_dir, browser_log=self.browser_log,
            download_url=self.tokens[-1])


class Batch:
    """Cases started together; finish() waits for them and gives their outcomes."""

    def __init__(self, runner, launches, timeout):
        self.runner, self.launches = runner, launches
        self.deadline = time.monotonic() + timeout
        self._outcomes = None

    def abandon(self):
        """Ends runs no test waited for (when tests were deselected)."""
        if self._outcomes is not None:
            return
        for launch in self.launches:
            if not launch.ended.is_set():
                launch.process.kill()
            launch.ended.wait()
            launch.server.stop()
        self.runner.ended(self.launches)
        self.runner.abandoned = True
        self._outcomes = {}

    def finish(self, browser_grace=2.0):
        if self._outcomes is not None:
            return self._outcomes
        try:
            for launch in self.launches:
                launch.wait(self.deadline)
        finally:
            for launch in self.launches:
                if not launch.ended.is_set():
                    launch.process.kill()
            self.runner.ended(self.launches)
        # The fake browser writes its log on its own, just after Falwick started it.
        time.sleep(browser_grace)
        self._outcomes = {launch.name: launch.outcome(self.runner.dialogs)
                          for launch in self.launches}
        for outcome in self._outcomes.values():
            outcome.read_browser_log()
            if outcome.dialog is not None:
                self.runner.claimed.add(id(outcome.dialog))
        return self._outcomes


class Runner:
    """Starts cases and collects their outcomes. Batches may overlap; one dialog
    watcher serves them all, so overlapping batches answer notices alike."""

    def __init__(self, wine, programs, base):
        """`programs`: harness.programs.Programs (Falwick.EXE and the dialog driver)."""
        self.wine, self.exe, self.base = wine, programs.falwick, base
        self.driver = DialogDriver(wine, programs.dialog_driver)
        base.mkdir(parents=True, exist_ok=True)
        self.dialogs = []
        self.claimed = set()
        self.abandoned = False
        self._active = []
        self._watcher = None
        self._lock = threading.Lock()

    def start(self, cases, actions=("no",), timeout=150):
        """Starts every case of the {name: Case} at once. Each notice is answered with
        `actions`."""
        launches = [Launch(self, name, case, "Writer-%s" % name.replace("_", "-"))
                    for name, case in cases.items()]
        with self._lock:
            if self._watcher is None:
                work = self.base / ("dialogs-%d" % time.monotonic_ns())
                work.mkdir()
                self._watcher = Watcher(self.driver, work, tuple(actions),
                                        self.dialogs).start()
            assert self._watcher.actions == tuple(actions), "overlapping batches differ"
            self._active.extend(launches)
            if len(self._active) > 1:
                for launch in self._active:
                    launch.alone = False
            for launch in launches:
                launch.start()
        return Batch(self, launches, timeout)

    def ended(self, launches):
        self._watcher.settle()
        with self._lock:
            for launch in launches:
                self._active.remove(launch)
            if not self._active:
                self._watcher.stop()
                self._watcher = None

    def together(self, cases, actions=("no",), timeout=150):
        """Runs the cases at once; returns {name: Outcome}."""
        return self.start(cases, actions, timeout).finish()

    def run(self, name, case, actions=("no",), **kwargs):
        return self.together({name: case}, actions, **kwargs)[name]

    def check_every_notice_was_claimed(self):
        if not self.abandoned:
            assert all(id(d) in self.claimed for _, d in self.dialogs), "a notice of no run"

