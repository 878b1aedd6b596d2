"""When Windows says a program's processes began and ended, and when each showed its
window, read by the harness's process_times helper (tests/e2e/tools), so that a time
bound of Falwick's counts from Falwick's own start and a hang still fails.

The start is the creation time Windows reports of the process (GetProcessTimes). Under
Wine the wineserver stamps it when the new process first connects to it: after Wine's
own start-up (the wine launcher, the preloader, the server connection; on two busy
cores that alone has taken seconds) and before any of the program's DLLs is loaded,
which is where Windows counts a process's life from too. The end is the exit time
Windows reports, stamped by the same server: both ends come from one clock, the
system's, which time.time() reads as well. The helper looks every 100 ms: it sees when
a window appears to within that, where the dialog driver, started again and again and
busy with one notice at a time, may find it seconds late.

The system clock may be stepped while a run goes (a virtual machine that was paused
catches up; runs have been seen to last 74 s by it and 60 s by the monotonic clock):
the clock notes each step as it happens and counts every time it hands out on the
system clock as it stood when the clock began."""

import threading
import time
from dataclasses import dataclass

from harness.wine import wait_until


@dataclass
class Lifetime:
    began: float  # seconds since 1970, as time.time()
    ended: float = None  # None while it runs
    exit_code: int = None
    shown: float = None  # when its window was first seen, or None

    @property
    def seconds(self):
        return None if self.ended is None else self.ended - self.began


# The monotonic clock and the system clock are compared this often; a change of their
# difference over STEP seconds is a step of the system clock.
STEP_SAMPLE = 0.05
STEP = 0.1


class ClockSteps:
    """The steps of the system clock (time.time()) against the monotonic one, noted from
    now until close() by a thread of its own."""

    def __init__(self):
        self._steps = []  # (system time before, system time after, seconds stepped)
        self._closed = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)
        self._thread.start()

    def _watch(self):
        wall, offset = time.time(), time.time() - time.monotonic()
        while not self._closed.wait(STEP_SAMPLE):
            now, now_offset = time.time(), time.time() - time.monotonic()
            if abs(now_offset - offset) > STEP:
                self._steps.append((wall, now, now_offset - offset))
            wall, offset = now, now_offset

    def steady(self, stamp):
        """`stamp` (a time.time() value, or None) on the system clock as it stood when
        the watch began: a stamp past the middle of a step was taken after it. (Within
        a step back the two sides overlap; those stamps count as taken after it.)"""
        if stamp is None:
            return None
        return stamp - sum(step for before, after, step in list(self._steps)
                           if (stamp > (before + after) / 2 if step > 0 else stamp >= after))

    @property
    def steps(self):
        return list(self._steps)

    def close(self):
        self._closed.set()
        self._thread.join()


class ProcessClock:
    """The process_times helper (`helper`, a built program) watching the processes of
    the programs called `names` in the Wine session, and their windows titled `window`,
    from now until close(); it writes what it sees to `work`/process-times.txt."""

    def __init__(self, wine, helper, names, work, window=None):
        work.mkdir(parents=True, exist_ok=True)
        self.wine, self.log = wine, work / "process-times.txt"
        self.log.write_bytes(b"")
        self.steps = ClockSteps()
        self._helper = wine.start(helper, wine.windows_path(self.log),
                                  *(["--window", window] if window else []), *names)

    def _entries(self):
        """{pid: (path in lower case, Lifetime)} of every process seen so far, in the order
        they began."""
        entries = {}
        for line in self.log.read_bytes().decode("utf-8", "replace").splitlines():
            fields = line.split(" ", 3)
            if len(fields) == 4 and fields[0] == "began":
                entries[fields[1]] = (fields[3].lower(), Lifetime(float(fields[2])))
            elif len(fields) == 3 and fields[0] == "shown" and fields[1] in entries:
                entries[fields[1]][1].shown = float(fields[2])
            elif len(fields) == 4 and fields[0] == "ended" and fields[1] in entries:
                lifetime = entries[fields[1]][1]
                lifetime.ended, lifetime.exit_code = float(fields[2]), int(fields[3])
        return entries

    def lifetime(self, program, after, ended_by=None, timeout=30):
        """The life of the first process of `program` (a Unix path) that began after
        `after` (a time.time() value), once it has ended; None when none is seen by then,
        or when it has not ended within `timeout` seconds. A process that lived only a
        few milliseconds may go unseen. `ended_by`: when its Linux process was seen to
        have ended, if known; the exit time is never later than that (the wineserver
        stamps it when it gets round to it, which has been seen seconds late). Its times
        are steady ones (ClockSteps.steady)."""
        name = self.wine.windows_path(program).lower()

        def found():
            lives = [lifetime for path, lifetime in self._entries().values()
                     if path == name and lifetime.began >= after]
            return min(lives, key=lambda lifetime: lifetime.began) if lives else None

        if not wait_until(lambda: (found() or Lifetime(0)).ended is not None, timeout):
            return None
        seen = found()
        life = Lifetime(self.steps.steady(seen.began), self.steps.steady(seen.ended),
                        seen.exit_code, self.steps.steady(seen.shown))
        if ended_by is not None:
            life.ended = min(life.ended, self.steps.steady(ended_by))
        if self.steps.steps:
            print("the system clock was stepped while the clock watched (system time before,"
                  " after, seconds): %s" % self.steps.steps)
        return life

    def began(self, program, after, timeout=30):
        """When the first process of `program` that began after `after` began, once it
        is seen; None when none is within `timeout` seconds."""
        name = self.wine.windows_path(program).lower()
        starts = wait_until(lambda: [lifetime.began for path, lifetime in self._entries().values()
                                     if path == name and lifetime.began >= after], timeout)
        return min(starts) if starts else None

    def close(self):
        self._helper.kill()
        self.steps.close()
