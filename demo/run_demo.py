#!/usr/bin/python3
"""The Falwick demo: the real Falwick.EXE under Wine, started the way a host product
starts it, against a sample update server on 127.0.0.1 that announces a newer version
of a sample product, "Writer". Prints what happened in plain words.

With a usable X display the notice appears on it and you answer it; "Yes" opens the
download page in your default browser through Wine. Without one, the demo runs Wine on
a virtual display, saves a screenshot of the notice, answers "Yes" itself, and a
stand-in browser records what it was asked to open."""

import json
import os
import shutil
import subprocess
import sys
import textwrap
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness.falwick import ProgramDirectory, command_line  # noqa: E402
from harness.server import LocalServer  # noqa: E402
from harness.wine import VirtualDisplay, Wine, make_prefix  # noqa: E402

WORK = ROOT / "build" / "demo"
EXE = ROOT / "build" / "windows" / "Falwick.EXE"
TOOLS = ROOT / "build" / "windows" / "tests" / "e2e"
INSTALLED = "3.0.012"
HOST_SETTINGS = (
    "; Writer's own settings; Falwick changes only NoUpdateCheck.\r\n"
    "[Window]\r\nWidth=800\r\nHeight=600\r\n\r\n"
    "[Options]\r\nNoUpdateCheck=0\r\nAutoSave=1\r\n"
)
DOWNLOAD_PAGE = b"<html><body><h1>Writer 3.5: download</h1></body></html>"


def say(text="", wrap=True):
    print(textwrap.fill(text, 88, subsequent_indent="  ") if text and wrap else text,
          flush=True)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.2)
    return condition()


def usable_display():
    name = os.environ.get("DISPLAY")
    if not name:
        return None
    probe = subprocess.run(["xwd", "-root", "-silent", "-display", name, "-out", os.devnull],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
    return name if probe.returncode == 0 else None


def set_browser(wine, log):
    """Headless: a stand-in browser that records its parameters. On a desktop: Wine's
    own association, which hands the page to the desktop's default browser."""
    if log is None:
        wine.use_browser(None)
        wine.env.pop("FALWICK_BROWSER_LOG", None)
        return
    wine.use_browser(TOOLS / "browser_recorder.exe", "falwickdemo.htm")
    wine.env["FALWICK_BROWSER_LOG"] = wine.windows_path(log)


def answer_headless(wine, display, falwick):
    """Waits for the notice, takes its picture, reads it, and answers "Yes"."""
    description = WORK / "notice.json"
    driver = TOOLS / "dialog_driver.exe"
    code, _ = wine.run(driver, "--out", wine.windows_path(description), "--timeout", "30")
    if code != 0:
        return None, None
    notice = json.loads(description.read_text())
    # Painted active, as on Windows (Wine without a window manager paints it inactive).
    wine.run(ROOT / "build" / "windows" / "maker" / "active_frame.exe")
    picture = WORK / "notice.png"
    display.screenshot(picture, notice["rect"])
    wine.run(driver, "--out", wine.windows_path(description), "--timeout", "10", "yes")
    falwick.wait(timeout=120)
    return notice, picture


def notice_text(notice, control_id):
    for control in notice["controls"]:
        if control["id"] == control_id:
            return control["text"]
    return ""


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    desktop = usable_display()
    screen = None if desktop else VirtualDisplay()
    make_prefix(WORK / "prefix")
    wine = Wine(WORK / "prefix", desktop or screen.name)
    # Without a window manager Wine draws the caption bar itself.
    wine.reg("add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d",
             "Y" if desktop else "N", "/f")

    program_path = WORK / "Writer"
    shutil.rmtree(program_path, ignore_errors=True)
    program = ProgramDirectory(wine, EXE, program_path)
    program.file("writer.ini").write_bytes(HOST_SETTINGS.encode())
    browser_log = None if desktop else WORK / "browser.log"
    if browser_log is not None and browser_log.exists():
        browser_log.unlink()
    set_browser(wine, browser_log)

    try:
        with LocalServer() as server:
            server.serve("/updates/writer.txt", (ROOT / "demo" / "sample-update.txt").read_bytes())
            server.serve("/download/writer.htm", DOWNLOAD_PAGE,
                         headers={"Content-Type": "text/html"})
            tokens = ["Writer", "PU", server.url("/updates/writer.txt"), "writer-update.txt",
                      INSTALLED, "writer.ini", "Options", "NoUpdateCheck",
                      server.url("/download/writer.htm")]
            say("Falwick demo. A sample update server runs at %s and publishes:"
                % server.url("/"))
            for line in (ROOT / "demo" / "sample-update.txt").read_text().splitlines():
                say("    " + line, wrap=False)
            say("The host product 'Writer', version %s, starts Falwick as:" % INSTALLED)
            say("    Falwick.EXE " + command_line(*tokens), wrap=False)
            say()

            falwick = program.start(*tokens)
            if desktop:
                say("The notice is on your screen (display %s): answer it. \"Yes\" opens the "
                    "download page in your default browser." % desktop)
                falwick.wait()
                notice, picture = None, None
            else:
                notice, picture = answer_headless(wine, screen, falwick)
            exit_code = falwick.wait()
            # The browser starts on its own after Falwick has ended: give it time.
            if desktop:
                wait_for(lambda: any(r.path == "/download/writer.htm"
                                     for r in server.requests), 15)
            else:
                wait_for(browser_log.exists, 15)
            report(server, program, notice, picture, exit_code, desktop, browser_log)
    finally:
        wine.close()
        if screen:
            screen.close()


def report(server, program, notice, picture, exit_code, desktop, browser_log):
    asked = [r for r in server.requests if r.path == "/updates/writer.txt"]
    say("What happened:")
    for request in asked:
        say("- Falwick fetched %s with the agent \"%s\"." % (request.path, request.user_agent))
    say("- The file announces version 3.5, build 14; the installed %s is older, so Falwick "
        "showed its notice." % INSTALLED)
    if notice is not None:
        say("- The notice, \"%s\", said: \"%s\" and asked \"%s\"."
            % (notice["caption"], notice_text(notice, 1001),
               "Would you like to update to the latest version now?"))
        say("- Its picture is saved in %s." % picture)
        say("- The demo answered \"Yes\" (no display to show it on).")
    elif not desktop:
        say("- The notice did not appear within 30 seconds.")
    settings = program.file("writer.ini").read_text(errors="replace")
    value = next((line.split("=", 1)[1] for line in settings.splitlines()
                  if line.startswith("NoUpdateCheck=")), "(none)")
    say("- Falwick stored the disable-checking box in writer.ini: NoUpdateCheck=%s." % value)
    if browser_log is not None:
        launches = browser_log.read_text().splitlines() if browser_log.exists() else []
        if launches:
            say("- The download page would be opened in the default browser with: %s"
                % launches[0])
        else:
            say("- No browser was started.")
    else:
        pages = [r for r in server.requests if r.path == "/download/writer.htm"]
        say("- Your browser %s the download page." % ("asked for" if pages else
                                                      "has not (yet) asked for"))
    left = sorted(program.files() - {"Falwick.EXE", "writer.ini"})
    say("- Files left beside Falwick.EXE: %s." % (", ".join(left) if left else
                                                  "none (the downloaded file was deleted)"))
    say("- Falwick ended with exit code %d." % exit_code)


if __name__ == "__main__":
    main()
