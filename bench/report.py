"""Prints the figures of one scripts/bench run side by side, as Markdown, with the
machine, the date and the load, and whether each target is met.

Usage: python3 bench/report.py RESULTS_DIR   (holding reader.json, agreement.txt and
wine.json from scripts/bench)"""

import json
import os
import platform
import sys
import time
from pathlib import Path

SIZE_TARGET = 65536
RATIO_TARGET = 1.15
MEMORY_TARGET_KIB = 1024
THROUGHPUT_TARGET_MB = 1000


def machine():
    model = "unknown processor"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    memory_kib = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            memory_kib = int(line.split()[1])
    return "%s, %d cores, %.0f GiB, %s %s" % (model, os.cpu_count(), memory_kib / 2**20,
                                              platform.system(), platform.release())


def reader(path):
    """Median rates of the Google Benchmark repetitions, in MB/s (10^6 bytes)."""
    data = json.loads(path.read_text())
    rates = {}
    for entry in data["benchmarks"]:
        if entry.get("aggregate_name") == "median" and "bytes_per_second" in entry:
            rates[entry["run_name"]] = entry["bytes_per_second"] / 1e6
    return rates, data["context"]


def mark(ok):
    return "met" if ok else "**not met**"


def main():
    results = Path(sys.argv[1])
    wine = json.loads((results / "wine.json").read_text())
    rates, context = reader(results / "reader.json")
    agreement = (results / "agreement.txt").read_text().strip()
    seconds = wine["seconds"]

    print("Run of %s on %s." % (time.strftime("%Y-%m-%d %H:%M %Z"), machine()))
    print("Load average %s before the Wine runs, %s after; Google Benchmark %s." % (
        ", ".join("%.2f" % x for x in wine["load_before"]),
        ", ".join("%.2f" % x for x in wine["load_after"]),
        context.get("library_build_type", "")))
    print()
    print("| | Falwick.EXE | floor of a check | target |")
    print("|---|---:|---:|---|")
    print("| size, bytes | %d | %d | at most %d: %s |" % (
        wine["falwick_bytes"], wine["floor_bytes"], SIZE_TARGET,
        mark(wine["falwick_bytes"] <= SIZE_TARGET)))
    print("| imported DLLs | %s | %s | |" % (", ".join(wine["falwick_dlls"]),
                                           ", ".join(wine["floor_dlls"])))
    print("| start to end of a not-newer check, ms (median of %d) | %.1f | %.1f | "
          "ratio %.2f, at most %.2f: %s |" % (
              wine["time_runs"], wine["falwick_seconds"] * 1000,
              wine["floor_seconds"] * 1000, wine["time_ratio"], RATIO_TARGET,
              mark(wine["time_ratio"] <= RATIO_TARGET)))
    difference = wine["peak_large_minus_small_kib"]
    print("| peak memory, 100 MB body, KiB (median; smallest) | %d; %d | | %+d KiB against "
          "the 100-byte body (smallest: %+d), at most 1024: %s |" % (
              wine["peak_large_kib"], wine["peak_large_kib_min"], difference,
              wine["peak_large_minus_small_kib_min"], mark(difference <= MEMORY_TARGET_KIB)))
    print("| peak memory, 100-byte body, KiB (median; smallest) | %d; %d | | do-nothing exe: "
          "%d; %d |" % (wine["peak_small_kib"], wine["peak_small_kib_min"],
                        wine["peak_do_nothing_kib"], wine["peak_do_nothing_kib_min"]))
    throughput = rates.get("BM_ReadUpdateInfoText", 0.0)
    print("| info-file reader, native -O2, MB/s | %.0f | | at least %d: %s |" % (
        throughput, THROUGHPUT_TARGET_MB, mark(throughput >= THROUGHPUT_TARGET_MB)))
    print()
    print("The floor of a check is `bench/startup_stages_win.cpp` at stage 4: built like "
          "Falwick.EXE, it imports the same DLLs, tests the connection and fetches the same "
          "URL to its end with the same calls, and does nothing else. Falwick.EXE is %.2f "
          "times a do-nothing program." % wine["do_nothing_ratio"])
    print()
    print("Where the start-up time goes (medians of %d runs, ms, alternating with the two "
          "above):" % wine["time_runs"])
    print()
    print("| program | ms | over the do-nothing exe |")
    print("|---|---:|---:|")
    labels = [("do_nothing", "do-nothing exe"), ("stage0", "imports user32 only"),
              ("stage1", "imports WinINet only"), ("stage2", "+ InternetGetConnectedState"),
              ("stage3", "+ fetch of the info file"),
              ("floor", "+ shell32 and user32 imported: the floor of a check"),
              ("falwick", "Falwick.EXE, not-newer check"),
              ("compare", "the compared build (BENCH_COMPARE_EXE), same check")]
    for key, label in labels:
        if key in seconds:
            print("| %s | %.1f | %.2f |" % (label, seconds[key] * 1000,
                                            seconds[key] / seconds["do_nothing"]))
    print()
    print("Peak memory is VmHWM of the `wine` process, sampled from /proc every 2 ms by the "
          "harness's runner, %d runs each. The 100 MB run took %.1f s, the 100-byte run "
          "%.2f s." % (len(wine["memory_runs"]["large"]), wine["seconds_large"],
                       wine["seconds_small"]))
    print()
    print("Native throughput (median of 5 repetitions, CPU time): " + ", ".join(
        "%s %.0f MB/s" % (name, rate) for name, rate in sorted(rates.items())) + ".")
    print()
    print(agreement)


if __name__ == "__main__":
    main()
