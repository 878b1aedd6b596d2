"""Falwick's notice dialog, seen and answered from outside with the dialog_driver helper
for every run going on (Watcher; harness.runs starts one), and its picture."""

import json
import subprocess
import threading
import time

NOTICE_CAPTION = "New Program Update Available"
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
    (time.time(), description) in `seen`. With `on_shown`, each notice is first only
    described and on_shown called with the description (to take its picture, say);
    the actions follow. What on_shown raises goes to `errors`."""

    def __init__(self, driver, work, actions, seen, on_shown=None, errors=None):
        self.driver, self.work, self.actions = driver, work, actions
        self.seen, self.on_shown = seen, on_shown
        self.errors = errors if errors is not None else []
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
            first = () if self.on_shown else self.actions
            self._process = self.driver.start(out, 3, *first)
            self._process.wait()
            if out.exists():
                dialog = self.driver.read(out)
                found = out.stat().st_mtime
                if self.on_shown:
                    try:
                        self.on_shown(dialog)
                    except Exception as error:  # noqa: BLE001 - handed to the runner
                        self.errors.append(error)
                    self._process = self.driver.start(out, 30, *self.actions)
                    self._process.wait()
                self.seen.append((found, dialog))
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
