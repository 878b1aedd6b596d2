#!/usr/bin/python3
"""The Falwick demo: the sample host product (examples/host, SampleHost.exe) under Wine,
set up as "Writer" 3.0.012, starts the real Falwick.EXE beside it against a sample
update server on 127.0.0.1 that announces a newer version. Prints what happened in
plain words.

With a usable X display the host's window and the notice appear on it and you answer
the notice; "Yes" opens the download page in your default browser through Wine. Without
one, the demo runs Wine on a virtual display, saves a picture of the notice in front of
the host's window, answers "Yes" itself, and a stand-in browser records what it was
asked to open."""

import os
import shutil
import subprocess
import textwrap

from harness import host as hosts, ini, notice as notices, sample
from harness.falwick import BrowserLog, ProgramDirectory
from harness.notice import NOTICE_TEXT
from harness.programs import ROOT, Programs
from harness.runs import Case, Runner
from harness.server import LocalServer
from harness.wine import session, wait_until

WORK = ROOT / "build" / "demo"
PICTURE = WORK / "notice.png"
SAMPLE_FILE = ROOT / "demo" / "sample-update.txt"
HOST_SETTINGS = (
    "; Writer's own settings; Falwick changes only NoUpdateCheck.\r\n"
    "[Window]\r\nWidth=800\r\nHeight=600\r\n\r\n"
    "[Options]\r\nNoUpdateCheck=0\r\nAutoSave=1\r\n"
)
DOWNLOAD_PAGE = b"<html><body><h1>Writer 3.5: download</h1></body></html>"
X11_DRIVER = r"HKCU\Software\Wine\X11 Driver"


def say(text="", wrap=True):
    print(textwrap.fill(text, 88, subsequent_indent="  ") if text and wrap else text,
          flush=True)


def usable_display():
    name = os.environ.get("DISPLAY")
    if not name:
        return None
    probe = subprocess.run(["xwd", "-root", "-silent", "-display", name, "-out", os.devnull],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
    return name if probe.returncode == 0 else None


def set_browser(wine, programs, log):
    """Headless: a stand-in browser that records its parameters. On a desktop: Wine's
    own association, which hands the page to the desktop's default browser."""
    if log is None:
        wine.use_browser(None)
        wine.env.pop(BrowserLog.VARIABLE, None)
        return
    wine.use_browser(programs.browser_recorder, "falwickdemo.htm")
    wine.env.update(log.environment(wine))


def main():
    programs = Programs()
    WORK.mkdir(parents=True, exist_ok=True)
    desktop = usable_display()
    with session(WORK / "prefix", desktop) as wine:
        # Without a window manager Wine draws the caption bar itself.
        wine.reg_add(X11_DRIVER, "Decorated", "Y" if desktop else "N")

        program_path = WORK / "Writer"
        shutil.rmtree(program_path, ignore_errors=True)
        program = ProgramDirectory(program_path, programs.falwick,
                                   {"writer.ini": HOST_SETTINGS.encode()})
        host = hosts.SampleHost(wine, programs, program_path, WORK)
        browser_log = None if desktop else BrowserLog(WORK / "browser.log")
        if browser_log is not None and browser_log.path.exists():
            browser_log.path.unlink()
        set_browser(wine, programs, browser_log)

        with LocalServer() as server:
            server.serve("/updates/writer.txt", SAMPLE_FILE.read_bytes())
            server.serve("/download/writer.htm", DOWNLOAD_PAGE,
                         headers={"Content-Type": "text/html"})
            tokens = sample.tokens(server, "/updates/writer.txt", info_file="writer-update.txt",
                                   download_url=server.url("/download/writer.htm"))
            host.configure(tokens)
            say("Falwick demo. A sample update server runs at %s and publishes:"
                % server.url("/"))
            for line in SAMPLE_FILE.read_text().splitlines():
                say("    " + line, wrap=False)
            say("The host product '%s', version %s, is the sample host (%s) under Wine. It "
                "reads its setting and starts Falwick; its window says:"
                % (sample.PRODUCT, sample.INSTALLED, hosts.EXE))
            host.start()
            try:
                for line in host.log() or ["(nothing: the window did not appear)"]:
                    say("    " + line, wrap=False)
                say()
                outcome = run(wine, programs, server, host, program, desktop, browser_log)
            finally:
                host.close()
            report(server, program, outcome, desktop, browser_log)


def run(wine, programs, server, host, program, desktop, browser_log):
    """The run of the Falwick the host started, its notice answered; None when it
    started none. Headless, the demo takes the notice's picture with the host's window
    behind it, reads it, and answers "Yes"; on a desktop, you answer it."""
    falwick = host.falwick()
    if falwick is None:
        return None
    runner = Runner(wine, WORK / "runs", programs.falwick, programs.dialog_driver)
    case = Case(program=program, server=server, start=lambda: falwick,
                browser_log=browser_log and browser_log.path)
    if not desktop:
        host_window = host.rect()

        def look(dialog):
            # Painted active, as on Windows.
            notices.photograph(wine, programs.active_frame, dialog, PICTURE, host_window)

        return runner.run("demo", case, ("yes",), timeout=90, on_shown=look)
    say("The notice is on your screen (display %s), in front of the host's window: answer "
        "it. \"Yes\" opens the download page in your default browser." % desktop)
    outcome = runner.run("demo", case, None, timeout=24 * 3600)
    # The browser starts on its own after Falwick has ended: give it time.
    wait_until(lambda: any(r.path == "/download/writer.htm" for r in server.requests),
               15, 0.2)
    return outcome


def report(server, program, notice, desktop, browser_log):
    say("What happened:")
    if notice is None:
        say("- The host did not start Falwick.")
        return
    asked = [r for r in server.requests if r.path == "/updates/writer.txt"]
    for request in asked:
        say("- Falwick fetched %s with the agent \"%s\"." % (request.path, request.user_agent))
    say("- The file announces version 3.5, build 14; the installed %s is older, so Falwick "
        "showed its notice." % sample.INSTALLED)
    if notice.shown:
        say("- The notice, \"%s\", said: \"%s\" and asked \"%s\"."
            % (notice.dialog["caption"], notice.control(NOTICE_TEXT)["text"],
               "Would you like to update to the latest version now?"))
        say("- Its picture, in front of the host's window, is saved in %s." % PICTURE)
        say("- The demo answered \"Yes\" (no display to show it on).")
    elif not desktop:
        say("- The notice did not appear within 30 seconds.")
    value = ini.value(program.file("writer.ini").read_bytes(), "Options", "NoUpdateCheck")
    say("- Falwick stored the disable-checking box in writer.ini: NoUpdateCheck=%s."
        % (value if value is not None else "(none)"))
    if browser_log is not None:
        launches = browser_log.launches()
        if launches:
            say("- The download page would be opened in the default browser with: %s"
                % launches[0])
        else:
            say("- No browser was started.")
    else:
        pages = [r for r in server.requests if r.path == "/download/writer.htm"]
        say("- Your browser %s the download page." % ("asked for" if pages else
                                                      "has not (yet) asked for"))
    left = sorted(program.files() - {"Falwick.EXE", "writer.ini", hosts.EXE, hosts.INI})
    say("- Files left beside Falwick.EXE: %s." % (", ".join(left) if left else
                                                  "none (the downloaded file was deleted)"))
    if notice.ended:
        say("- Falwick ended with exit code %d." % notice.exit_code)
    else:
        say("- Falwick did not end by itself and was stopped.")


if __name__ == "__main__":
    main()
