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
import sys
import tempfile
from pathlib import Path

from harness import notice as notices, sample
from harness.falwick import ProgramDirectory
from harness.info_tool import InfoTool
from harness.programs import DEFAULT_BUILD_DIR, MissingProgram, Programs
from harness.runs import Case, Runner
from harness.server import LocalServer
from harness.wine import session

X11_DRIVER = r"HKCU\Software\Wine\X11 Driver"
NEEDED = ("falwick", "falwick_info", "active_frame", "dialog_driver")


def parse_arguments():
    parser = argparse.ArgumentParser(
        prog="scripts/preview",
        description="Shows the notice Falwick.EXE displays for an update-information file.")
    parser.add_argument("file", help="the update-information file")
    parser.add_argument("--product", required=True, help="the host product's name")
    parser.add_argument("--installed", required=True,
                        help="the installed version and build, such as 3.0.012")
    parser.add_argument("--out", default="notice.png", help="where the PNG goes")
    parser.add_argument("--build-dir", default=str(DEFAULT_BUILD_DIR),
                        help="the Windows build tree (Falwick.EXE, falwick-info.exe, ...)")
    parser.add_argument("--timeout", type=float, default=60,
                        help="seconds to wait for the notice or for Falwick to end")
    parser.add_argument("--check-arguments", action="store_true",
                        help=argparse.SUPPRESS)  # scripts/preview: before it builds anything
    return parser.parse_args()


def fail(message, status=2):
    print("preview: " + message, file=sys.stderr)
    sys.exit(status)


def falwick_info(wine, programs, path, args):
    """falwick-info's report on the file, and its findings as its text report prints them;
    the preview ends here when it cannot read the file or gives no verdict."""
    tool = InfoTool(wine, programs.falwick_info)
    options = ("--installed", args.installed, "--product", args.product)
    report = tool.check(path, *options)
    if report.newer is None:
        fail("falwick-info could not check the file: " + report.error.strip())
    text = tool.run("check", wine.windows_path(path), *options).text.splitlines()
    first = [i for i, line in enumerate(text) if line.split(" [")[0] in ("error", "warning", "note")]
    return report, text[first[0]:] if first else []


def main():
    args = parse_arguments()
    source = Path(args.file).resolve()
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
    try:
        programs = Programs(args.build_dir)
    except MissingProgram as error:
        fail(str(error))
    for missing in programs.missing(*NEEDED):
        fail("%s is missing: build the windows preset there first" % missing)

    work = programs.build_dir / "preview"
    work.mkdir(parents=True, exist_ok=True)
    # One preview at a time per build tree: they share the prefix and its wineserver.
    with open(work / "run.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        return run(args, source, body, programs, out, work)


def run(args, source, body, programs, out, work):
    saved = {}
    with session(work / "prefix") as wine:
        # Without a window manager X draws no frame: let Wine draw the caption bar itself.
        wine.reg_add(X11_DRIVER, "Decorated", "N")
        wine.reg_add(X11_DRIVER, "Managed", "N")
        report, findings = falwick_info(wine, programs, source, args)

        with tempfile.TemporaryDirectory(dir=work) as temporary, LocalServer() as server:
            temporary = Path(temporary)
            runner = Runner(wine, temporary, programs.falwick, programs.dialog_driver)
            program = ProgramDirectory(temporary / "Program Files" / "Host", programs.falwick)
            server.serve("/" + source.name, body)
            case = Case(program=program, server=server, path="/" + source.name,
                        overrides={"product": args.product, "installed": args.installed,
                                   "info_file": "update-info.txt", "settings_file": "host.ini",
                                   "download_url": sample.UNREACHABLE + "/download.htm"})

            def look(dialog):
                saved["size"] = notices.photograph(wine, programs.active_frame, dialog, out)

            outcome = runner.run("preview", case, ("no",), timeout=args.timeout,
                                 on_shown=look)

    expected = report.newer
    if outcome.shown:
        print("Notice saved to %s (%dx%d pixels)." % (out, *saved["size"]))
        print("Its text:")
        for line in outcome.notice_text().decode("latin-1").split("\r\n"):
            print("  | " + line)
        print("Answered \"No\"; Falwick %s." % ("ended" if outcome.ended else "did not end"))
        if not expected:
            print("But falwick-info expected no notice: " + report.data["reason"] + ".")
            return 3
        return 0 if outcome.ended else 2
    if not outcome.ended:
        fail("Falwick neither showed a notice nor ended within %g seconds" % args.timeout)
    print("No notice would appear: Falwick ended without showing anything "
          "(nothing was saved to %s)." % out)
    print("Why: " + report.data["reason"] + ".")
    if findings:
        print("\n".join(findings))
    if expected:
        print("But falwick-info expected a notice: " + report.data["reason"] + ".")
        return 3
    return 1


if __name__ == "__main__":
    sys.exit(main())
