"""Measures Falwick.EXE under Wine beside the floor of a check (a program built the same
way that imports the same DLLs and makes the same connectivity test and fetch) and a
do-nothing program: size and imported DLLs, time from process start to the end of a
check that finds nothing newer, and peak memory while a huge and a tiny info file are
fetched.

Usage: python3 bench/wine_measure.py FALWICK_EXE DO_NOTHING_EXE WORK_DIR --floor FLOOR_EXE
           [--runs N] [--memory-runs N] [--json FILE] [--stages STAGE0_EXE ... STAGE3_EXE]

Runs in a Wine prefix of its own under WORK_DIR, with a virtual display and a
wineserver kept running (warm) from start to end, against a local server on 127.0.0.1.
Every program runs through the harness's runner (harness.runs), as in the tests: times
are its wall-clock times of the whole `wine` process, the programs alternating, and
medians over all runs; peak memory is the process's VmHWM as the runner's sampler
reads it from /proc, here every 2 ms."""

import argparse
import json
import os
import shutil
import statistics
from pathlib import Path

from harness.falwick import ProgramDirectory
from harness.programs import imported_dlls
from harness.runs import Case, Runner
from harness.sample import NOT_NEWER, command_line, tokens
from harness.server import LocalServer
from harness.wine import session

LARGE_BODY = 100 * 1000 * 1000
SMALL_BODY = 100
SAMPLE_PERIOD = 0.002  # seconds between samples of a run's memory


def info_body(size):
    """A not-newer info file of exactly `size` bytes: the version lines, then comment
    lines the program reads and ignores."""
    filler = b"; " + b"x" * 77 + b"\r\n"
    body = NOT_NEWER + filler * ((size - len(NOT_NEWER)) // len(filler) + 1)
    return body[:size]


class Timed:
    """Runs the programs of program directories to their end through one runner, each
    against the same server; a program that fails ends the measurement."""

    def __init__(self, runner, server):
        self.runner, self.server = runner, server

    def check(self, path):
        """The command line of a check of the info file at `path`."""
        return command_line(tokens(self.server, path))

    def run(self, program, exe, line=""):
        """Runs `exe` of the ProgramDirectory with the argument string; returns (seconds,
        peak KiB)."""
        outcome = self.runner.run("bench", Case(program=program, exe=exe, server=self.server,
                                                command_line=line),
                                  actions=None)
        if outcome.exit_code != 0:
            raise RuntimeError("%s exited with %s" % (exe, outcome.exit_code))
        return outcome.seconds, outcome.peak_memory_kib


def median(values):
    return statistics.median(values)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("falwick")
    parser.add_argument("do_nothing")
    parser.add_argument("work")
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--memory-runs", type=int, default=9)
    parser.add_argument("--json")
    parser.add_argument("--floor", required=True,
                        help="the floor of a check: Falwick's imports, connectivity test and "
                        "fetch, and nothing else; fetches the URL given as its command line")
    parser.add_argument("--stages", nargs="*", default=[],
                        help="start-up stage programs 0 to 3, timed beside the others")
    parser.add_argument("--compare", help="another build of Falwick.EXE (an older one), "
                        "timed on the same check beside the others")
    options = parser.parse_args()

    work = Path(options.work).resolve()  # Wine wants an absolute WINEPREFIX
    for old in ("program", "program-compare"):
        shutil.rmtree(work / old, ignore_errors=True)
    nothing, floor = "DoNothing.EXE", "Floor.EXE"
    stages = ["Stage%d.EXE" % n for n in range(len(options.stages))]
    program = ProgramDirectory(work / "program", options.falwick,
                               programs=dict(zip(stages, options.stages),
                                             **{nothing: options.do_nothing,
                                                floor: options.floor}))
    falwick = program.exe.name
    # The compared build gets a directory of its own: a program finds its files beside it.
    compare = options.compare and ProgramDirectory(work / "program-compare", options.compare)

    result = {
        "falwick_bytes": program.exe.stat().st_size,
        "floor_bytes": program.file(floor).stat().st_size,
        "do_nothing_bytes": program.file(nothing).stat().st_size,
        "falwick_dlls": imported_dlls(program.exe),
        "floor_dlls": imported_dlls(program.file(floor)),
        "do_nothing_dlls": imported_dlls(program.file(nothing)),
        "load_before": os.getloadavg(),
    }
    if options.compare:
        result["compare_bytes"] = compare.exe.stat().st_size

    server = LocalServer()
    server.serve("/info.txt", NOT_NEWER)
    server.serve("/small.txt", info_body(SMALL_BODY))
    server.serve("/large.txt", info_body(LARGE_BODY))
    # The session keeps its wineserver running (warm) from start to end.
    with session(work / "prefix") as wine, server:
        timed = Timed(Runner(wine, work / "runs", options.falwick,
                             sample_period=SAMPLE_PERIOD), server)
        check = timed.check("/info.txt")
        for _ in range(3):  # warm-up: wineserver, page cache, Wine's own start-up files
            timed.run(program, nothing)
            timed.run(program, floor, server.url("/info.txt"))
            timed.run(program, falwick, check)

        # Alternating, each round starting with the next program, so that a change of
        # load hits all alike.
        programs = [("falwick", program, falwick, check),
                    ("floor", program, floor, server.url("/info.txt")),
                    ("do_nothing", program, nothing, "")]
        for stage, exe in enumerate(stages):
            line = server.url("/info.txt") if stage == 3 else ""
            programs.append(("stage%d" % stage, program, exe, line))
        if options.compare:
            programs.append(("compare", compare, falwick, check))
        times = {name: [] for name, _, _, _ in programs}
        for i in range(options.runs):
            shift = i % len(programs)
            for name, directory, exe, line in programs[shift:] + programs[:shift]:
                asked = len(server.requests)
                seconds, _ = timed.run(directory, exe, line)
                if name in ("falwick", "floor", "compare") and \
                        len(server.requests) != asked + 1:
                    raise RuntimeError("the check did not fetch the info file")
                times[name].append(seconds)
        result["time_runs"] = options.runs
        result["seconds"] = {name: median(values) for name, values in times.items()}
        result["seconds_all"] = times
        result["falwick_seconds"] = result["seconds"]["falwick"]
        result["floor_seconds"] = result["seconds"]["floor"]
        result["do_nothing_seconds"] = result["seconds"]["do_nothing"]
        result["time_ratio"] = result["falwick_seconds"] / result["floor_seconds"]
        result["do_nothing_ratio"] = result["falwick_seconds"] / result["do_nothing_seconds"]

        memory = {"large": [], "small": [], "do_nothing": []}
        large, small = timed.check("/large.txt"), timed.check("/small.txt")
        for _ in range(options.memory_runs):
            for name, exe, line in (("large", falwick, large), ("small", falwick, small),
                                    ("do_nothing", nothing, "")):
                seconds, peak = timed.run(program, exe, line)
                memory[name].append({"seconds": seconds, "vmhwm_kib": peak})
        for name, runs in memory.items():
            result["peak_%s_kib" % name] = median([r["vmhwm_kib"] for r in runs])
            result["peak_%s_kib_min" % name] = min(r["vmhwm_kib"] for r in runs)
            result["seconds_%s" % name] = median([r["seconds"] for r in runs])
        result["peak_large_minus_small_kib"] = (result["peak_large_kib"]
                                                - result["peak_small_kib"])
        result["peak_large_minus_small_kib_min"] = (result["peak_large_kib_min"]
                                                    - result["peak_small_kib_min"])
        result["memory_runs"] = memory
        for leftover in ("info.txt", "writer.ini"):
            if program.file(leftover).exists():
                raise RuntimeError("%s was left behind" % leftover)
    result["load_after"] = os.getloadavg()

    if options.json:
        Path(options.json).write_text(json.dumps(result, indent=2))
    print("Falwick.EXE            %8d bytes  imports %s" % (result["falwick_bytes"],
                                                         " ".join(result["falwick_dlls"])))
    print("floor of a check       %8d bytes  imports %s" % (result["floor_bytes"],
                                                         " ".join(result["floor_dlls"])))
    print("do-nothing exe         %8d bytes  imports %s" % (result["do_nothing_bytes"],
                                                         " ".join(result["do_nothing_dlls"])))
    for label, seconds in (("not-newer check", result["falwick_seconds"]),
                           ("floor of a check", result["floor_seconds"]),
                           ("do-nothing exe", result["do_nothing_seconds"])):
        print("%-22s %8.1f ms (median of %d)" % (label, seconds * 1000, options.runs))
    print("time ratio             %8.3f" % result["time_ratio"])
    if options.compare:
        print("compared build (%d bytes) %6.1f ms, ratio %.3f" % (
            result["compare_bytes"], result["seconds"]["compare"] * 1000,
            result["seconds"]["compare"] / result["floor_seconds"]))
    labels = ["imports user32 only", "imports WinINet only", "+ on-line test",
              "+ fetch of the info file"]
    for stage in range(len(stages)):
        print("  stage %d: %-24s %6.1f ms" % (stage, labels[stage],
                                              result["seconds"]["stage%d" % stage] * 1000))
    for name, label in (("large", "peak, 100 MB body"), ("small", "peak, 100-byte body"),
                        ("do_nothing", "peak, do-nothing exe")):
        print("%-22s %8d KiB, %.0f ms" % (label, result["peak_%s_kib" % name],
                                          result["seconds_%s" % name] * 1000))
    print("100 MB minus 100 bytes %8d KiB (medians), %d KiB (smallest peaks)" % (
        result["peak_large_minus_small_kib"], result["peak_large_minus_small_kib_min"]))
    print("load average           %s before, %s after" % (
        " ".join("%.2f" % x for x in result["load_before"]),
        " ".join("%.2f" % x for x in result["load_after"])))


if __name__ == "__main__":
    main()
