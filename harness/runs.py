"""The one way the harness runs Falwick: each run watched from every side at once, its
exit code and time, its peak memory, the notice dialog (answered by the dialog driver),
the browser starts, the server's requests, and what is left in its program directory.
The tests, the demo, the preview and the benchmarks all run Falwick through a Runner; a
single run is a batch of one.

Several runs can go at the same time, each in its own program directory against its
own server, so that cases bounded by the 60-second fetch deadline cost one minute
together. Dialogs are told apart by the product name they show: every run gets its own
unless its case names one."""

import os
import shutil
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

from harness import sample
from harness.falwick import BrowserLog, ProgramDirectory
from harness.notice import NOTICE_TEXT, DialogDriver, Watcher
from harness.peak_memory import PeakMemory
from harness.server import LocalServer


WINE_ERRORS = "wine-errors.txt"  # beside a run's program directory: Wine's standard error


def harness_file(path):
    """Whether a file (its path as text) is the harness's own, written beside the runs:
    the dialog driver's descriptions, and what Wine printed."""
    return "/dialogs-" in path or path.endswith("/" + WINE_ERRORS)


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
    shared_directory: Path = None  # where to lay the program directory out instead
    prepare: object = None  # called with the program directory before the start
    env: dict = None  # environment variables over the session's (None removes one)
    # A run in a program directory someone else laid out (a ProgramDirectory, used as
    # it is), against a server someone else runs (a LocalServer, left running), or with
    # the argument string given ("" for none) instead of the tokens built here.
    program: ProgramDirectory = None
    server: LocalServer = None
    command_line: str = None
    exe: str = "Falwick.EXE"  # the program of the directory that runs
    browser_log: Path = None  # where the stand-in browser logs (None: the run's own)
    start: object = None  # returns the process when something else starts Falwick


@dataclass
class Outcome:
    name: str
    product: str
    exit_code: int  # None when it had not ended in time and was stopped
    starts: str  # how each start under Wine went, and what Wine printed (WineProcess)
    seconds: float  # from the harness's start of it to its end, Wine's start-up and all
    dialog: dict  # what the dialog driver saw, or None when no dialog appeared
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
    life: object = None  # returns the process's own Lifetime (harness.process_clock)
    dialog_found: float = None  # when the dialog driver found the notice (time.time())

    steady: object = None  # a time.time() value on the clock's steady scale (None: no clock)

    @property
    def lifetime(self):
        """Seconds from the process's own start to its end, as Windows tells them (see
        harness.process_clock): what a time bound of Falwick's counts. None without a
        clock, or when it never ended. Where the clock did not see a process that ended
        by itself (one that lives under a second can come and go between two looks),
        the harness's time from before Wine's start stands in: never shorter than the
        truth, longer by Wine's start-up."""
        life = self._life()
        if life is None and self.steady is not None and self.exit_code is not None:
            print("%s: the process clock did not see its process end; the harness's %.2f s"
                  " stand in" % (self.name, self.seconds))
            return self.seconds
        return life and life.seconds

    @property
    def dialog_seconds(self):
        """When its notice appeared, counted from the process's own start; None without
        a notice or a clock. Where the clock missed the window (two notices shown at
        once have been seen to leave one unseen), the time the dialog driver found it
        stands in: never earlier than the truth, at most the driver's few seconds late."""
        life = self._life()
        if life is None or self.dialog is None:
            return None
        if life.shown is None:
            print("%s: the process clock did not see the notice; the dialog driver's time"
                  " stands in" % self.name)
            return self.steady(self.dialog_found) - life.began
        return life.shown - life.began

    def _life(self):
        if callable(self.life):
            self.life = self.life()  # asked once, when first wanted
        return self.life

    @property
    def shown(self):
        return self.dialog is not None

    @property
    def ended(self):
        return self.exit_code is not None

    def control(self, control_id):
        matches = [c for c in self.dialog["controls"] if c["id"] == control_id]
        assert len(matches) == 1, "control %d: %d found" % (control_id, len(matches))
        return matches[0]

    def notice_text(self):
        """The bytes of the notice's text, None without a notice."""
        return self.control(NOTICE_TEXT)["text"].encode("latin-1") if self.shown else None

    def read_browser_log(self):
        self.browser = BrowserLog(self.browser_log).launches()
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
    browser log (unless its case brings them); its memory is sampled while it runs."""

    def __init__(self, runner, name, case):
        self.name, self.case = name, case
        self.wine = runner.wine
        self.sample_period = runner.sample_period
        self.root = runner.base / name
        if self.root.exists():
            shutil.rmtree(self.root)
        self.root.mkdir(parents=True)
        self.program = case.program or ProgramDirectory(
            case.shared_directory or self.root / "Program Files" / case.directory, runner.exe,
            {"writer.ini": case.settings, "info.txt": case.stale_info})
        self.program_dir = self.program.path
        if case.prepare is not None:
            case.prepare(self.program_dir)
        self.settings = self.program_dir / "writer.ini"
        self.browser_log = case.browser_log or self.root / "browser.log"
        self.own_server = case.server is None and case.command_line is None
        self.server = case.server
        if self.own_server:
            self.server = LocalServer(tls=case.tls, host=case.host)
            if callable(case.answer):
                case.answer(self.server)
            elif case.answer is not None:
                self.server.scenario[case.path] = case.answer
            self.server.start()
        self.tokens = None
        self.product = None
        if case.command_line is None:
            values = dict({"product": "Writer-%s" % name.replace("_", "-"),
                           "mode": case.mode}, **case.overrides)
            self.tokens = sample.tokens(self.server, case.path, **values)
            self.product = self.tokens[0]
        self.alone = True  # no other run overlapped this one
        self.killed = False

    def start(self):
        self.env = self.wine.environment(**BrowserLog(self.browser_log).environment(self.wine),
                                         **(self.case.env or {}))
        self.settings_before = self.settings.read_bytes() if self.settings.exists() else None
        self.started = time.monotonic()
        self.started_wall = time.time()
        if self.case.start is not None:
            self.process = self.case.start()  # its own start: the harness repeats none
        else:
            line = (self.case.command_line if self.tokens is None
                    else sample.command_line(self.tokens))
            self.process = self.wine.start(self.program_dir / self.case.exe,
                                           *([line] if line else []), env=self.env,
                                           errors=self.root / WINE_ERRORS)
        self.memory = PeakMemory(self.process, self.sample_period)
        self.ended = threading.Event()
        threading.Thread(target=self._reap, daemon=True).start()

    def _reap(self):
        self.process.wait()
        self.seconds = time.monotonic() - self.started
        self.ended.set()

    def wait(self, deadline):
        """Waits for the end until the deadline; a run still going then is stopped."""
        if not self.ended.wait(max(0.0, deadline - time.monotonic())):
            self.stop()

    def stop(self):
        if not self.ended.is_set():
            self.killed = self.process.poll() is None  # it did not end by itself
            self.process.kill()
            self.ended.wait()

    def shows(self, dialog):
        """Whether the dialog is this run's: its text names this run's product."""
        return self.product is not None and any(
            c["text"].startswith(self.product + " Version ") for c in dialog["controls"])

    def outcome(self, dialogs, clock, claimed=frozenset()):
        """The run's outcome. Its notice is the one that names its product, or, for a
        run no other overlapped, any notice seen while it ran."""
        if self.own_server:
            self.server.stop()
        # A notice an earlier run claimed is not this one's, though it may have been found
        # within the second before this run began that the file time is allowed.
        mine = [(found, d) for found, d in dialogs
                if found >= self.started_wall - 1 and id(d) not in claimed
                and (self.alone or self.shows(d))]
        # A start of the harness's own began after it was asked for; one a case made
        # (the sample host's, say) may have begun before the run was handed over.
        after = self.process.began if self.case.start is None else 0
        life = clock and (lambda: clock.lifetime(self.program_dir / self.case.exe, after,
                                                 self.process.ended_at))
        return Outcome(
            name=self.name, product=self.product,
            exit_code=None if self.killed else self.process.returncode,
            starts=self.process.report(),
            seconds=self.seconds, dialog=mine[0][1] if mine else None, browser=[],
            requests=list(self.server.requests) if self.server else [],
            connections=self.server.connections if self.server else 0,
            files=set(os.listdir(self.program_dir)), settings_before=self.settings_before,
            settings_after=self.settings.read_bytes() if self.settings.exists() else None,
            peak_memory_kib=self.memory.stop(),
            program_dir=self.program_dir, browser_log=self.browser_log,
            download_url=self.tokens[-1] if self.tokens else None, life=life,
            dialog_found=mine[0][0] if mine else None, steady=clock and clock.steps.steady)


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
            launch.stop()
            if launch.own_server:
                launch.server.stop()
            launch.memory.stop()
        self.runner.ended(self.launches)
        self.runner.abandoned = True
        self._outcomes = {}

    def finish(self):
        """The outcomes, {name: Outcome}, once every run has ended or been stopped at
        the batch's deadline, and every stand-in browser they started has ended too:
        Falwick starts it before it ends, and it writes its log on its own."""
        if self._outcomes is not None:
            return self._outcomes
        try:
            for launch in self.launches:
                launch.wait(self.deadline)
        finally:
            for launch in self.launches:
                launch.stop()
            self.runner.ended(self.launches)
        assert self.runner.wine.browsers_settled(), "a stand-in browser did not end"
        self._outcomes = {
            launch.name: launch.outcome(self.runner.dialogs, self.runner.clock,
                                        self.runner.claimed)
            for launch in self.launches}
        for outcome in self._outcomes.values():
            outcome.read_browser_log()
            if outcome.dialog is not None:
                self.runner.claimed.add(id(outcome.dialog))
        if self.runner.errors:
            raise self.runner.errors.pop(0)
        return self._outcomes


class Runner:
    """Starts cases and collects their outcomes. Batches may overlap; one dialog
    watcher serves them all, so overlapping batches answer notices alike. Runs whose
    notices no one answers (actions None: none is expected, or a person answers it)
    start no watcher."""

    def __init__(self, wine, base, exe, dialog_driver=None, sample_period=0.05):
        """`exe`: the Falwick.EXE laid out for cases; `dialog_driver`: the helper that
        answers notices; `sample_period`: seconds between samples of the memory."""
        self.wine, self.base, self.exe = wine, base, exe
        self.driver = dialog_driver and DialogDriver(wine, dialog_driver)
        # A ProcessClock watching Falwick.EXE (harness.process_clock), set while runs are
        # to have their lifetime and dialog_seconds.
        self.clock = None
        self.sample_period = sample_period
        base.mkdir(parents=True, exist_ok=True)
        self.dialogs = []
        self.errors = []  # what on_shown raised, raised again by the batch
        self.claimed = set()
        self.abandoned = False
        self._active = []
        self._watcher = None
        self._lock = threading.Lock()

    def start(self, cases, actions=("no",), timeout=150, on_shown=None):
        """Starts every case of the {name: Case} at once. Each notice is answered with
        `actions`, after on_shown (when given) was called with its description."""
        launches = [Launch(self, name, case) for name, case in cases.items()]
        with self._lock:
            if actions is not None:
                self._watch(tuple(actions), on_shown)
            self._active.extend(launches)
            if len(self._active) > 1:
                for launch in self._active:
                    launch.alone = False
            for launch in launches:
                launch.start()
        return Batch(self, launches, timeout)

    def _watch(self, actions, on_shown):
        if self._watcher is None:
            work = self.base / ("dialogs-%d" % time.monotonic_ns())
            work.mkdir()
            self._watcher = Watcher(self.driver, work, actions, self.dialogs,
                                    on_shown, self.errors).start()
        assert (self._watcher.actions, self._watcher.on_shown) == (actions, on_shown), \
            "overlapping batches differ"

    def ended(self, launches):
        if self._watcher is not None:
            self._watcher.settle()
        with self._lock:
            for launch in launches:
                self._active.remove(launch)
            if not self._active and self._watcher is not None:
                self._watcher.stop()
                self._watcher = None

    def together(self, cases, actions=("no",), timeout=150, on_shown=None):
        """Runs the cases at once; returns {name: Outcome}."""
        return self.start(cases, actions, timeout, on_shown).finish()

    def run(self, name, case, actions=("no",), **options):
        return self.together({name: case}, actions, **options)[name]

    def check_every_notice_was_claimed(self):
        if not self.abandoned:
            assert all(id(d) in self.claimed for _, d in self.dialogs), "a notice of no run"
