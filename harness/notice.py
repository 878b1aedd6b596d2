"""Falwick's notice dialog, seen and answered from outside with the dialog_driver helper:
for one run (answer), or for many runs at once (Watcher), and its picture."""

import json
import subprocess
import threading
import time
from dataclasses import dataclass

NOTICE_TEXT = 1001  # the id of the control that shows the notice's text


def stop(process):
    """Ends a process this harness started, by its own id, and waits for it."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class DialogDriver:
    """dialog_driver.exe: waits up to a time-out for the notice, writes its description
    (JSON) to a file, then performs actions: tick, untick, yes, no, esc, enter. Exit
    status 0 when found and done, 2 when no notice appeared in time, 1 on failure."""

    def __init__(self, wine, exe):
        self.wine, self.exe = wine, exe

    def _args(self, out, timeout, actions):
        return ("--out", self.wine.windows_path(out), "--timeout", str(timeout), *actions)

    def start(self, out, timeout, *actions):
        return self.wine.start(self.exe, *self._args(out, timeout, actions))

    def run(self, out, timeout, *actions):
        """Runs the driver to its end; returns its exit status."""
        status, _ = self.wine.run(self.exe, *self._args(out, timeout, actions))
        return status

    @staticmethod
    def read(out):
        return json.loads(out.read_text(encoding="latin-1"))


@dataclass
class Notice:
    """One run through its notice: the driver's description of the dialog as shown
    (None when none appeared) and Falwick's exit code (None when it had not ended and
    was stopped)."""

    dialog: dict
    exit_code: int

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


def answer(driver, falwick, out, actions=("no",), timeout=30, on_shown=None):
    """Waits up to `timeout` seconds for the notice of `falwick` (a started process) or
    for its end. When the notice shows, its description goes to `out`, on_shown is
    called with it (to take its picture, say), and the actions are performed; then
    Falwick is given 60 seconds to end (5 without a notice) and stopped if it has not."""
    if out.exists():
        out.unlink()
    first = driver.start(out, timeout, *(() if on_shown else actions))
    ended_alone = False
    try:
        while first.poll() is None:
            # A notice is modal and keeps Falwick running: once it has ended without a
            # description written, no notice can appear any more.
            if falwick.poll() is not None and not out.exists():
                ended_alone = True
                break
            time.sleep(0.05)
    finally:
        stop(first)
    try:
        dialog = None
        if not ended_alone:
            if first.returncode not in (0, 2):
                raise RuntimeError("dialog driver failed (status %d)" % first.returncode)
            dialog = driver.read(out) if first.returncode == 0 else None
        if dialog is not None and on_shown is not None:
            on_shown(dialog)
            status = driver.run(out, timeout, *actions)
            if status != 0:
                raise RuntimeError("dialog driver failed (status %d)" % status)
        try:
            exit_code = falwick.wait(timeout=60 if dialog is not None else 5)
        except subprocess.TimeoutExpired:
            exit_code = None
    finally:
        stop(falwick)
    return Notice(dialog, exit_code)


def photograph(wine, active_frame, dialog, path, behind=None):
    """A PNG of the notice as on Windows, cropped to its window, or with `behind` (a
    {left, top, right, bottom} rect: the host's window, say) to the smallest rect
    around both: the active_frame helper paints its frame active first (Wine without a
    window manager paints it inactive). Returns the picture's (width, height)."""
    wine.run(active_frame, timeout=60)
    rect = dict(dialog["rect"])
    if behind is not None:
        for side, pick in (("left", min), ("top", min), ("right", max), ("bottom", max)):
            rect[side] = pick(rect[side], behind[side])
    path.parent.mkdir(parents=True, exist_ok=True)
    wine.screen.screenshot(path, rect)
    return rect["right"] - rect["left"], rect["bottom"] - rect["top"]


class Watcher:
    """Runs the dialog driver again and again, answering every notice with the same
    actions, and keeps each description with the time the driver found the window:
    (time.time(), description) in `seen`."""

    def __init__(self, driver, work, actions, seen):
        self.driver, self.work, self.actions = driver, work, actions
        self.seen = seen
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._loop, daemon=True)
        self._process = None
        self._out = None

    def start(self):
        self._thread.start()
        return self

    def _loop(self):
        number = 0
        while not self._stop.is_set():
            number += 1
            out = self.work / ("dialog-%d.json" % number)
            self._out = out
            self._process = self.driver.start(out, 3, *self.actions)
            self._process.wait()
            if out.exists():
                self.seen.append((out.stat().st_mtime, self.driver.read(out)))
            self._out = None

    def settle(self, timeout=30):
        """Waits until a driver that has found a window has finished with it."""
        deadline = time.monotonic() + timeout
        out = self._out
        while out is not None and out.exists() and self._out is out:
            if time.monotonic() > deadline:
                break
            time.sleep(0.05)

    def stop(self):
        """Called once every run has ended: no window is left, so a driver still
        waiting after a moment (one that was finishing its work has ended by then) is
        ended."""
        self._stop.set()
        while self._thread.is_alive():
            process = self._process
            self._thread.join(0.5)
            if process is not None and process is self._process and process.poll() is None:
                process.kill()
