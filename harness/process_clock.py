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
busy with one notice at a time, may find it seconds late."""

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


class ProcessClock:
    """The process_times helper (`helper`, a built program) watching the processes of
    the programs called `names` in the Wine session, and their windows titled `window`,
    from now until close(); it writes what it sees to `work`/process-times.txt."""

    def __init__(self, wine, helper, names, work, window=None):
        work.mkdir(parents=True, exist_ok=True)
        self.wine, self.log = wine, work / "process-times.txt"
        self.log.write_bytes(b"")
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
        stamps it when it gets round to it, which has been seen seconds late)."""
        name = self.wine.windows_path(program).lower()

        def found():
            lives = [lifetime for path, lifetime in self._entries().values()
                     if path == name and lifetime.began >= after]
            return min(lives, key=lambda lifetime: lifetime.began) if lives else None

        if not wait_until(lambda: (found() or Lifetime(0)).ended is not None, timeout):
            return None
        life = found()
        if ended_by is not None:
            life.ended = min(life.ended, ended_by)
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
