"""The notice a user would get from an update-information file, seen with the real
Falwick.EXE: the file is served on 127.0.0.1, Falwick runs under Wine on a virtual
display with the given product and installed version, and the notice dialog is saved
as a PNG (cropped to the dialog, caption bar included) and answered "No". When no notice
appears, says so and why, from falwick-info's reading of the file.

Run through scripts/preview, which builds what this needs first.

Exit status: 0 a notice was saved; 1 no notice appears; 2 bad arguments, a file that
cannot be read or a run that went wrong; 3 Falwick did not do what falwick-info expected."""

import argparse
import fcntl
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import notice_watch  # noqa: E402
from harness.falwick import command_line  # noqa: E402
from harness.server import LocalServer  # noqa: E402
from harness.wine import WINE, VirtualDisplay, Wine, make_prefix  # noqa: E402

X11_DRIVER = r"HKCU\Software\Wine\X11 Driver"


def parse_arguments():
    parser = argparse.ArgumentParser(
        prog="scripts/preview",
        description="Shows the notice Falwick.EXE displays for an update-information file.")
    parser.add_argument("file", help="the update-information file")
    parser.add_argument("--product", required=True, help="the host product's name")
    parser.add_argument("--installed", required=True,
                        help="the installed version and build, such as 3.0.012")
    parser.add_argument("--out", default="notice.png", help="where the PNG goes")
    parser.add_argument("--build-dir", default=str(ROOT / "build" / "windows"),
                        help="the Windows build tree (Falwick.EXE, falwick-info.exe, ...)")
    parser.add_argument("--timeout", type=float, default=60,
                        help="seconds to wait for the notice or for Falwick to end")
    parser.add_argument("--check-arguments", action="store_true",
                        help=argparse.SUPPRESS)  # scripts/preview: before it builds anything
    return parser.parse_args()


def fail(message, status=2):
    print("preview: " + message, file=sys.stderr)
    sys.exit(status)


def falwick_info(wine, build, path, args):
    """falwick-info's report on the file, its exit status and its verdict (True when it
    expects the notice)."""
    completed = subprocess.run(
        [WINE, str(build / "maker" / "falwick-info.exe"), "check", wine.windows_path(path),
         "--installed", args.installed, "--product", args.product],
        env=wine.env, capture_output=True, timeout=120)
    report = completed.stdout.decode("latin-1").replace("\r\n", "\n")
    if completed.returncode == 2:
        fail("falwick-info cannot read the file: " +
             completed.stderr.decode("latin-1").strip())
    newer = None
    for line in report.splitlines():
        if line.startswith("Newer "):
            newer = line.split()[1].startswith("yes")
    if newer is None:
        fail("falwick-info gave no verdict:\n" + report)
    return report, newer


def why(report):
    """The reason and the warnings from falwick-info's report."""
    lines = report.splitlines()
    reason = next(line for line in lines if line.startswith("Newer "))
    reason = reason.split(":", 1)[1].strip()
    warnings = []
    if any(line.startswith("Warnings (") for line in lines):
        start = next(i for i, line in enumerate(lines) if line.startswith("Warnings ("))
        warnings = lines[start:]
    return reason, warnings


def main():
    args = parse_arguments()
    source = Path(args.file).resolve()
    build = Path(args.build_dir).resolve()
    out = Path(args.out).resolve()
    for name, value in (("--product", args.product), ("--installed", args.installed)):
        if "<" in value or ">" in value or (name == "--product" and value == ""):
            fail("%s %r cannot be a token of Falwick's command line" % (name, value))
    try:
        body = source.read_bytes()
    except OSError as error:
        fail("cannot read %s: %s" % (args.file, error.strerror))
    if args.check_arguments:
        return 0
    for needed in ("Falwick.EXE", "maker/falwick-info.exe", "maker/active_frame.exe",
                   "tests/e2e/dialog_driver.exe"):
        if not (build / needed).exists():
            fail("%s is missing: build the windows preset there first" % (build / needed))

    work = build / "preview"
    work.mkdir(parents=True, exist_ok=True)
    # One preview at a time per build tree: they share the prefix and its wineserver.
    with open(work / "run.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        return run(args, source, body, build, out, work)


def run(args, source, body, build, out, work):
    prefix = work / "prefix"
    make_prefix(prefix)
    display = VirtualDisplay()
    wine = None
    try:
        wine = Wine(prefix, display.name)
        # Without a window manager X draws no frame: let Wine draw the caption bar itself.
        wine.reg("add", X11_DRIVER, "/v", "Decorated", "/d", "N", "/f")
        wine.reg("add", X11_DRIVER, "/v", "Managed", "/d", "N", "/f")
        report, expected = falwick_info(wine, build, source, args)

        with tempfile.TemporaryDirectory(dir=work) as temporary, LocalServer() as server:
            temporary = Path(temporary)
            program = temporary / "Program Files" / "Host"
            program.mkdir(parents=True)
            shutil.copyfile(build / "Falwick.EXE", program / "Falwick.EXE")
            server.serve("/" + source.name, body)
            tokens = [args.product, "PU", server.url("/" + source.name), "update-info.txt",
                      args.installed, "host.ini", "Options", "NoUpdateCheck",
                      "http://127.0.0.1:9/download.htm"]
            falwick = wine.start(program / "Falwick.EXE", command_line(*tokens))
            saved = {}

            def look(dialog):
                subprocess.run([WINE, str(build / "maker" / "active_frame.exe")],
                               env=wine.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=60)
                rect = dialog["rect"]
                out.parent.mkdir(parents=True, exist_ok=True)
                display.screenshot(out, rect)
                saved["size"] = (rect["right"] - rect["left"], rect["bottom"] - rect["top"])

            outcome = notice_watch.watch(wine, falwick, build / "tests/e2e/dialog_driver.exe",
                                         temporary, timeout=args.timeout, on_shown=look)
            if not outcome.ended:
                notice_watch._stop(falwick)
    finally:
        if wine is not None:
            wine.close()
        display.close()

    if outcome.shown:
        print("Notice saved to %s (%dx%d pixels)." % (out, *saved["size"]))
        print("Its text:")
        for line in outcome.notice_text().decode("latin-1").split("\r\n"):
            print("  | " + line)
        print("Answered \"No\"; Falwick %s." % ("ended" if outcome.ended else "did not end"))
        if not expected:
            print("But falwick-info expected no notice:\n" + report)
            return 3
        return 0 if outcome.ended else 2
    if not outcome.ended:
        fail("Falwick neither showed a notice nor ended within %g seconds" % args.timeout)
    reason, warnings = why(report)
    print("No notice would appear: Falwick ended without showing anything "
          "(nothing was saved to %s)." % out)
    print("Why: " + reason + ".")
    for line in warnings:
        print(line)
    if expected:
        print("But falwick-info expected a notice:\n" + report)
        return 3
    return 1


if __name__ == "__main__":
    sys.exit(main())
