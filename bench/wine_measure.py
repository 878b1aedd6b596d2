"""Measures Falwick.EXE under Wine beside a do-nothing program built the same way:
size and imported DLLs, time from process start to the end of a check that finds
nothing newer, and peak memory while a huge and a tiny info file are fetched.

Usage: python3 bench/wine_measure.py FALWICK_EXE DO_NOTHING_EXE WORK_DIR [--runs N]
           [--memory-runs N] [--json FILE] [--stages STAGE0_EXE ... STAGE3_EXE]

Runs in a Wine prefix of its own under WORK_DIR, with a virtual display and a
wineserver kept running (warm) from start to end, against a local server on 127.0.0.1.
Times are wall-clock times of the whole `wine` process, the two programs alternating,
and medians over all runs. Peak memory is the largest resident set of that process,
as the kernel keeps it (ru_maxrss, through GNU time); VmHWM sampled from /proc while
it runs is reported beside it as a check."""

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import tempfile
import threading
import time
from pathlib import Path

from harness import sample
from harness.sample import NOT_NEWER
from harness.server import LocalServer
from harness.wine import session

LARGE_BODY = 100 * 1000 * 1000
SMALL_BODY = 100


def info_body(size):
    """A not-newer info file of exactly `size` bytes: the version lines, then comment
    lines the program reads and ignores."""
    filler = b"; " + b"x" * 77 + b"\r\n"
    body = NOT_NEWER + filler * ((size - len(NOT_NEWER)) // len(filler) + 1)
    return body[:size]


def imported_dlls(exe):
    text = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(exe)], check=True,
                          capture_output=True, text=True).stdout
    return sorted({name.upper() for name in re.findall(r"DLL Name: (\S+)", text)})


class Runner:
    def __init__(self, wine, program_dir, server):
        self.wine = wine
        self.dir = program_dir
        self.server = server

    def tokens(self, path):
        """The command line of a check of the info file at `path`."""
        return sample.command_line(sample.tokens(self.server, path))

    def run(self, exe, *args):
        """Runs the program to its end; returns (seconds, peak KiB, last VmHWM KiB).

        GNU time starts `wine` and reports the largest resident set the kernel saw for
        it (ru_maxrss). It is started in between because ru_maxrss also counts the
        memory of the process that forked, up to the exec: forked from this Python,
        which holds the 100 MB body, every result would read as this script's size."""
        with tempfile.NamedTemporaryFile("r") as report:
            started = time.perf_counter()
            process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report.name,
                                        *self.wine.command(exe, *args)], env=self.wine.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            sampled = [0]
            done = threading.Event()

            def sample():
                # The `wine` process is the only child of GNU time.
                children = "/proc/%d/task/%d/children" % (process.pid, process.pid)
                while not done.is_set():
                    try:
                        with open(children) as f:
                            pids = f.read().split()
                        if pids:
                            with open("/proc/%s/status" % pids[0]) as f:
                                match = re.search(r"^VmHWM:\s+(\d+) kB", f.read(), re.M)
                            if match:
                                sampled[0] = int(match.group(1))
                    except OSError:
                        pass
                    time.sleep(0.002)

            sampler = threading.Thread(target=sample, daemon=True)
            sampler.start()
            code = process.wait()
            elapsed = time.perf_counter() - started
            done.set()
            sampler.join()
            if code != 0:
                raise RuntimeError("%s exited with %d" % (exe, code))
            peak = int(report.read().split()[-1])
        return elapsed, peak, sampled[0]


def median(values):
    return statistics.median(values)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("falwick")
    parser.add_argument("floor")
    parser.add_argument("work")
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--memory-runs", type=int, default=9)
    parser.add_argument("--json")
    parser.add_argument("--stages", nargs="*", default=[],
                        help="start-up stage programs 0 to 3, timed beside the others")
    parser.add_argument("--compare", help="another build of Falwick.EXE (an older one), "
                        "timed on the same check beside the others")
    options = parser.parse_args()

    work = Path(options.work).resolve()  # Wine wants an absolute WINEPREFIX
    program_dir = work / "program"
    shutil.rmtree(program_dir, ignore_errors=True)
    program_dir.mkdir(parents=True)
    falwick = program_dir / "Falwick.EXE"
    floor = program_dir / "DoNothing.EXE"
    shutil.copyfile(options.falwick, falwick)
    shutil.copyfile(options.floor, floor)
    stages = []
    for stage, path in enumerate(options.stages):
        stages.append(program_dir / ("Stage%d.EXE" % stage))
        shutil.copyfile(path, stages[-1])
    if options.compare:
        # A directory of its own: the program finds its files beside itself.
        compare = work / "program-compare" / "Falwick.EXE"
        shutil.rmtree(compare.parent, ignore_errors=True)
        compare.parent.mkdir(parents=True)
        shutil.copyfile(options.compare, compare)

    result = {
        "falwick_bytes": falwick.stat().st_size,
        "floor_bytes": floor.stat().st_size,
        "falwick_dlls": imported_dlls(falwick),
        "floor_dlls": imported_dlls(floor),
        "load_before": os.getloadavg(),
    }
    if options.compare:
        result["compare_bytes"] = compare.stat().st_size

    server = LocalServer()
    server.serve("/info.txt", NOT_NEWER)
    server.serve("/small.txt", info_body(SMALL_BODY))
    server.serve("/large.txt", info_body(LARGE_BODY))
    # The session keeps its wineserver running (warm) from start to end.
    with session(work / "prefix") as wine, server:
        runner = Runner(wine, program_dir, server)
        check = runner.tokens("/info.txt")
        for _ in range(3):  # warm-up: wineserver, page cache, Wine's own start-up files
            runner.run(floor)
            runner.run(falwick, check)

        # Alternating, each round starting with the next program, so that a change of
        # load hits all alike.
        programs = [("falwick", falwick, [check]), ("floor", floor, [])]
        for stage, exe in enumerate(stages):
            args = [server.url("/info.txt")] if stage == 3 else []
            programs.append(("stage%d" % stage, exe, args))
        if options.compare:
            programs.append(("compare", compare, [check]))
        times = {name: [] for name, _, _ in programs}
        for i in range(options.runs):
            shift = i % len(programs)
            for name, exe, args in programs[shift:] + programs[:shift]:
                asked = len(server.requests)
                seconds, _, _ = runner.run(exe, *args)
                if name in ("falwick", "compare") and len(server.requests) != asked + 1:
                    raise RuntimeError("the check did not fetch the info file")
                times[name].append(seconds)
        result["time_runs"] = options.runs
        result["seconds"] = {name: median(values) for name, values in times.items()}
        result["seconds_all"] = times
        result["falwick_seconds"] = result["seconds"]["falwick"]
        result["floor_seconds"] = result["seconds"]["floor"]
        result["time_ratio"] = result["falwick_seconds"] / result["floor_seconds"]

        memory = {"large": [], "small": [], "floor": []}
        large, small = runner.tokens("/large.txt"), runner.tokens("/small.txt")
        for _ in range(options.memory_runs):
            for name, exe, args in (("large", falwick, [large]),
                                    ("small", falwick, [small]), ("floor", floor, [])):
                seconds, maxrss, hwm = runner.run(exe, *args)
                memory[name].append({"seconds": seconds, "maxrss_kib": maxrss,
                                     "vmhwm_kib": hwm})
        for name, runs in memory.items():
            result["peak_%s_kib" % name] = median([r["maxrss_kib"] for r in runs])
            result["peak_%s_kib_min" % name] = min(r["maxrss_kib"] for r in runs)
            result["vmhwm_%s_kib" % name] = median([r["vmhwm_kib"] for r in runs])
            result["seconds_%s" % name] = median([r["seconds"] for r in runs])
        result["peak_large_minus_small_kib"] = (result["peak_large_kib"]
                                                - result["peak_small_kib"])
        result["peak_large_minus_small_kib_min"] = (result["peak_large_kib_min"]
                                                    - result["peak_small_kib_min"])
        result["memory_runs"] = memory
        for leftover in ("info.txt", "writer.ini"):
            if (program_dir / leftover).exists():
                raise RuntimeError("%s was left behind" % leftover)
    result["load_after"] = os.getloadavg()

    if options.json:
        Path(options.json).write_text(json.dumps(result, indent=2))
    print("Falwick.EXE            %8d bytes  imports %s" % (result["falwick_bytes"],
                                                         " ".join(result["falwick_dlls"])))
    print("do-nothing exe         %8d bytes  imports %s" % (result["floor_bytes"],
                                                         " ".join(result["floor_dlls"])))
    for label, seconds in (("not-newer check", result["falwick_seconds"]),
                           ("do-nothing exe", result["floor_seconds"])):
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
                        ("floor", "peak, do-nothing exe")):
        print("%-22s %8d KiB (VmHWM sampled %d KiB), %.0f ms" % (
            label, result["peak_%s_kib" % name], result["vmhwm_%s_kib" % name],
            result["seconds_%s" % name] * 1000))
    print("100 MB minus 100 bytes %8d KiB (medians), %d KiB (smallest peaks)" % (
        result["peak_large_minus_small_kib"], result["peak_large_minus_small_kib_min"]))
    print("load average           %s before, %s after" % (
        " ".join("%.2f" % x for x in result["load_before"]),
        " ".join("%.2f" % x for x in result["load_after"])))


if __name__ == "__main__":
    main()
