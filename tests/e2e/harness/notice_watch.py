"""Watching a running Falwick.EXE for its notice dialog with the dialog driver: either the
notice appears (it is described, optionally looked at, then answered "No"), or Falwick
ends without one. Used by the maker-tools tests and by scripts/preview."""

import json
import subprocess
import time
from dataclasses import dataclass, field

from harness.wine import WINE


@dataclass
class NoticeOutcome:
    shown: bool                 # the notice dialog appeared
    ended: bool                 # Falwick ended (after "No", or without a notice)
    dialog: dict = field(default_factory=dict)  # the driver's description of the dialog

    def notice_text(self):
        """The bytes of the dialog's notice text control (id 1001)."""
        for control in self.dialog.get("controls", []):
            if control["id"] == 1001:
                return control["text"].encode("latin-1")
        return None


def _stop(process):
    """Ends a process this module started, by its own id, and waits for it."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def watch(wine, falwick, driver_exe, work_dir, timeout=60, on_shown=None):
    """Waits until `falwick` (a started process) shows its notice or ends, for at most
    `timeout` seconds. When the notice shows, calls on_shown(description) before
    answering "No", then waits for Falwick to end."""
    description = work_dir / "notice.json"
    if description.exists():
        description.unlink()
    driver = subprocess.Popen(
        [WINE, str(driver_exe), "--out", wine.windows_path(description),
         "--timeout", str(timeout)],
        env=wine.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while driver.poll() is None:
            if falwick.poll() is not None:
                # A notice is modal and keeps Falwick running: once it has ended, no
                # notice can appear any more.
                _stop(driver)
                return NoticeOutcome(shown=False, ended=True)
            time.sleep(0.1)
    finally:
        _stop(driver)
    if driver.returncode != 0 or not description.exists():
        # No window in time, and Falwick still runs: it neither announced nor ended.
        return NoticeOutcome(shown=False, ended=falwick.poll() is not None)

    dialog = json.loads(description.read_text(encoding="ascii"))
    if on_shown is not None:
        on_shown(dialog)
    answer = work_dir / "answer.json"
    subprocess.run([WINE, str(driver_exe), "--out", wine.windows_path(answer),
                    "--timeout", "20", "no"],
                   env=wine.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60)
    try:
        falwick.wait(timeout=60)
    except subprocess.TimeoutExpired:
        pass
    return NoticeOutcome(shown=True, ended=falwick.poll() is not None, dialog=dialog)
