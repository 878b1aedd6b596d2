"""The run's time bound when WinINet never returns. No server makes a connectivity test
hang, and Wine's blocked calls look nothing like Windows' ones, so tools/deadline_probe
runs Falwick's own download and network deadline (the helper thread) with stand-ins for
WinINet's three waiting calls, one of which blocks for ever while holding a lock that a
clean-up at the end of the process takes (as WinINet's detach code may). The deadline is
shortened; the bound is the same make-up as Falwick's: the deadline plus 5 s
(update/download.h)."""

import subprocess
import time

import pytest


DEADLINE_MS = 2000
BOUND_SECONDS = DEADLINE_MS / 1000 + 5


def probe(wine, programs, tmp_path, call, *extra):
    info = tmp_path / "info.txt"
    code, out, _ = wine.output(programs.deadline_probe, call, wine.windows_path(info),
                               DEADLINE_MS, *extra, timeout=BOUND_SECONDS)
    report = dict(line.split(":", 1) for line in out.decode().splitlines() if ":" in line)
    return code, {name: value.strip() for name, value in report.items()}


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
        wine, programs, tmp_path, call):
    started = time.monotonic()
    code, report = probe(wine, programs, tmp_path, call)
    seconds = time.monotonic() - started
    connected, opened, stored, closed = CASES[call]
    print("%s blocks: ended after %.1f s, exit code %d, %s" % (call, seconds, code, report))
    assert code == 0
    assert seconds < BOUND_SECONDS
    assert report["deadline asked"] == "60000"  # what Falwick asks; shortened here
    assert (report["connected"], report["opened"], report["stored"], report["closed"]) == (
        connected, opened, stored, closed)
    assert report["faults"] == ""
    assert report["blocked call inside at the end"] == ("no" if call == "none" else "yes")
    if call != "none":
        assert seconds >= DEADLINE_MS / 1000


def test_calls_after_the_deadline_fail_at_once_and_leave_the_abandoned_call_alone(
        wine, programs, tmp_path):
    code, report = probe(wine, programs, tmp_path, "late-calls")
    print(report)
    assert code == 0
    assert report["late errors"] == "12002 12002 12002"  # ERROR_INTERNET_TIMEOUT
    assert int(report["late calls took"].split()[0]) < 100
    assert report["blocked url"] == "http://127.0.0.1:9/info.txt"


def test_an_ordinary_end_would_wait_for_ever_on_the_blocked_call(wine, programs, tmp_path):
    # What EndProcessIfAbandoned prevents: returning from main runs the clean-up that
    # waits for the lock the abandoned call holds.
    with pytest.raises(subprocess.TimeoutExpired):
        probe(wine, programs, tmp_path, "read", "exit-normally")
