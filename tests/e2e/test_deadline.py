"""The run's time bound when WinINet never returns. No server makes a connectivity test
hang, and Wine's blocked calls look nothing like Windows' ones, so tools/deadline_probe
runs Falwick's own download and network deadline (the helper thread) with stand-ins for
WinINet's three waiting calls, one of which blocks for ever while holding a lock that a
clean-up at the end of the process takes (as WinINet's detach code may). The deadline is
shortened; the bound is the same make-up as Falwick's: the deadline plus 5 s
(update/download.h)."""

import subprocess
import tempfile
import time

import pytest


DEADLINE_MS = 2000
# Counted from the probe's own start, as Windows tells it (harness.process_clock): Wine's
# start-up, before it, is no part of the bound.
BOUND_SECONDS = DEADLINE_MS / 1000 + 5
WINE_START_UP = 60  # how long Wine may take to get the probe started on a busy machine


def probe(wine, programs, tmp_path, call, *extra):
    """Runs the probe to its end: (exit code, its report, its WineProcess). A probe still
    running when Wine's start-up and the bound have passed fails the test."""
    info = tmp_path / "info.txt"
    with tempfile.TemporaryFile() as out:
        run = wine.start(programs.deadline_probe, call, wine.windows_path(info), DEADLINE_MS,
                         *extra, stdout=out)
        try:
            code = run.wait(WINE_START_UP + BOUND_SECONDS)
        finally:
            run.kill()
        out.seek(0)
        report = dict(line.split(":", 1) for line in out.read().decode().splitlines()
                      if ":" in line)
    return code, {name: value.strip() for name, value in report.items()}, run


# The call that blocks; what Connect and Fetch answered; the bytes stored (-1: no file).
# Once a call is abandoned no handle is closed at all, so none is closed while the
# blocked call uses it, nor twice; without a blocked call each is closed once.
CASES = {
    "connectivity": ("no", "no", "-1", ""),
    "open": ("yes", "no", "-1", ""),
    "read": ("yes", "yes", "11", ""),  # the line the first read handed over counts
    "none": ("yes", "yes", "11", "0x200 0x100"),
}


@pytest.mark.parametrize("call", CASES)
def test_a_call_that_never_returns_is_abandoned_and_the_process_ends_within_the_bound(
        wine, programs, process_clock, tmp_path, call):
    code, report, run = probe(wine, programs, tmp_path, call)
    connected, opened, stored, closed = CASES[call]
    print("%s blocks: exit code %d, %s" % (call, code, report))
    assert code == 0
    if call != "none":  # it lives for seconds, long enough for the clock to see it
        lifetime = process_clock.lifetime(programs.deadline_probe, run.began, run.ended_at)
        assert lifetime is not None, "the clock did not see the probe: %s" % run.report()
        print("ended %.2f s after its own start" % lifetime.seconds)
        assert DEADLINE_MS / 1000 <= lifetime.seconds < BOUND_SECONDS
    assert report["deadline asked"] == "60000"  # what Falwick asks; shortened here
    assert (report["connected"], report["opened"], report["stored"], report["closed"]) == (
        connected, opened, stored, closed)
    assert report["faults"] == ""
    assert report["blocked call inside at the end"] == ("no" if call == "none" else "yes")


def test_calls_after_the_deadline_fail_at_once_and_leave_the_abandoned_call_alone(
        wine, programs, tmp_path):
    code, report, _ = probe(wine, programs, tmp_path, "late-calls")
    print(report)
    assert code == 0
    assert report["late errors"] == "12002 12002 12002"  # ERROR_INTERNET_TIMEOUT
    assert int(report["late calls took"].split()[0]) < 100
    assert report["blocked url"] == "http://127.0.0.1:9/info.txt"


def test_an_ordinary_end_would_wait_for_ever_on_the_blocked_call(wine, programs,
                                                                  process_clock, tmp_path):
    # What EndProcessIfAbandoned prevents: returning from main runs the clean-up that
    # waits for the lock the abandoned call holds. The probe still runs when the bound,
    # counted from its own start, has passed.
    run = wine.start(programs.deadline_probe, "read", wine.windows_path(tmp_path / "info.txt"),
                     DEADLINE_MS, "exit-normally")
    try:
        began = process_clock.began(programs.deadline_probe, run.began, WINE_START_UP)
        assert began is not None, run.report()
        with pytest.raises(subprocess.TimeoutExpired):
            run.wait(max(0.0, began + BOUND_SECONDS - time.time()))
    finally:
        run.kill()
