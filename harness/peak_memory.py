"""A running process's peak memory, sampled while it runs."""

import threading


class PeakMemory:
    """The peak resident memory of a running process, sampled from /proc: VmHWM, which
    only grows, read every `period` seconds until stop(); the last sample is at most one
    period old. The process (anything with a pid: a WineProcess follows its latest
    start) is the Wine process running the Windows program: the loader execs in place.
    (The kernel's rusage would not do: it keeps the peak of the loader's earlier stages,
    and of the process that forked it, too.)"""

    def __init__(self, process, period=0.05):
        self.kib = 0
        self._process = process
        self._period = period
        self._done = threading.Event()
        self._thread = threading.Thread(target=self._sample, daemon=True)
        self._thread.start()

    def _sample(self):
        while not self._done.is_set():
            try:
                with open("/proc/%d/status" % self._process.pid) as lines:
                    for line in lines:
                        if line.startswith("VmHWM:"):
                            self.kib = max(self.kib, int(line.split()[1]))
            except (OSError, ValueError):
                pass
            self._done.wait(self._period)

    def stop(self):
        self._done.set()
        self._thread.join()
        return self.kib
