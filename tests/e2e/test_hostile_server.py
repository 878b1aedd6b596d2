"""Falwick against servers that misbehave: error pages, redirects, broken transfers,
garbage, enormous and endless bodies, an untrusted certificate. Whatever the server
does, the run ends with exit code 0, leaves no info file, touches the host's settings
only when the notice ran, and takes the decision the bytes it stored call for.

Cases run in groups at the same time (see harness.runs). The group bounded by
the 60-second fetch deadline starts first and runs while the quick groups come and go."""

import random
import ssl
import subprocess

import pytest

from harness.runs import Case
from harness.sample import MUCH_NEWER, NOT_NEWER
from harness.server import response

MIB = 1 << 20
STORED_LIMIT = 16 * MIB
HTML_PAGE = (b"<!DOCTYPE html>\r\n<html><head><title>%d</title></head>\r\n"
             b"<body><h1>%d</h1><p>VERSION information is not here.</p></body></html>\r\n")


@pytest.fixture(scope="module")
def untrusted_tls(tmp_path_factory):
    """A server context with a certificate for 127.0.0.1 that no authority signed."""
    directory = tmp_path_factory.mktemp("tls")
    key, cert = directory / "key.pem", directory / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", str(key), "-out", str(cert)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(cert), str(key))
    return context


def redirect(status, target_body):
    def answer(server):
        server.serve("/info.txt", target_body)
        server.serve("/old/info.txt", b"", status=status,
                     headers={"Location": server.url("/info.txt")})
    return answer


def error_page(status):
    return response(HTML_PAGE % (status, status), status=status,
                    headers={"Content-Type": "text/html"})


# ---------------------------------------------------------------------------------
# Status codes, redirects and broken transfers

@pytest.fixture(scope="module")
def transfers(runner, slow_runs, untrusted_tls):
    # In a chunked body "VERSION=9.0" straddles the first chunk boundary (the server
    # sends 1000-byte chunks): only a decoded body has it on one line.
    chunked = b"#" * 994 + b"\r\n" + MUCH_NEWER + b"#" * 3000 + b"\r\n"
    assert chunked[996:1000] == b"VERS"
    padded_newer = MUCH_NEWER + b"#" * 2000 + b"\r\n"
    return runner.together({
        "error_404": Case(error_page(404)),
        "error_404_px": Case(error_page(404), mode="PX"),
        "error_500": Case(error_page(500)),
        "error_500_px": Case(error_page(500), mode="PX"),
        "moved_301": Case(redirect(301, MUCH_NEWER), path="/old/info.txt"),
        "found_302": Case(redirect(302, MUCH_NEWER), path="/old/info.txt"),
        "chunked": Case(response(chunked, chunked=True)),
        # Content-Length promises the whole body; the connection closes after
        # "BUILD=1\r\nVERSION=9", inside the VERSION line.
        "cut": Case(response(b"BUILD=1\r\nVERSION=9.5\r\n" + b"#" * 5000,
                             behaviour="cut", cut_after=18)),
        # A reset a second after the first bytes (a reset that overtakes the headers
        # makes the URL fail to open, and then nothing happens at all).
        "reset_px": Case(response(NOT_NEWER + b"#" * 5000, behaviour="reset", cut_after=800,
                                  pause_after=800, pause=1.0), mode="PX"),
        # The newer version arrives on its own, a second before the reset: the read
        # that fails is the next one, and only its bytes may be lost.
        "reset_later": Case(response(padded_newer * 3, behaviour="reset",
                                     pause_after=len(MUCH_NEWER), pause=1.0,
                                     cut_after=len(padded_newer))),
        "tls": Case(response(MUCH_NEWER), tls=untrusted_tls),
        "tls_px": Case(response(MUCH_NEWER), tls=untrusted_tls, mode="PX"),
    })


@pytest.mark.parametrize("status", [404, 500])
def test_an_error_page_is_read_like_any_body_and_announces_nothing(transfers, status):
    outcome = transfers["error_%d" % status]
    outcome.check(dialog=False, browser=False)
    assert [r.path for r in outcome.requests] == ["/info.txt"]


@pytest.mark.parametrize("status", [404, 500])
def test_an_explicit_check_that_gets_an_error_page_still_opens_the_download_page(
        transfers, status):
    transfers["error_%d_px" % status].check(dialog=False, browser=True)


@pytest.mark.parametrize("status", [301, 302])
def test_a_redirect_is_followed_to_the_info_file_and_its_version_announced(transfers, status):
    outcome = transfers["moved_301" if status == 301 else "found_302"]
    outcome.check(dialog=True, browser=False)
    assert [r.path for r in outcome.requests] == ["/old/info.txt", "/info.txt"]
    assert "Version 9.0.001 " in outcome.dialog_text()


def test_a_chunked_body_is_stored_decoded(transfers):
    outcome = transfers["chunked"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.001 " in outcome.dialog_text()


def test_a_body_cut_off_counts_up_to_its_last_byte(transfers):
    outcome = transfers["cut"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.001 " in outcome.dialog_text()  # from "VERSION=9", the cut line


def test_a_reset_connection_ends_the_copy_like_the_end_of_the_body(transfers):
    transfers["reset_px"].check(dialog=False, browser=True)


def test_bytes_read_before_a_reset_count(transfers):
    outcome = transfers["reset_later"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.001 " in outcome.dialog_text()


@pytest.mark.parametrize("mode", ["PU", "PX"])
def test_https_with_an_untrusted_certificate_cannot_be_opened_so_nothing_happens(
        transfers, mode):
    outcome = transfers["tls" if mode == "PU" else "tls_px"]
    outcome.check(dialog=False, browser=False)
    assert outcome.connections >= 1  # the server was reached,
    assert outcome.requests == []  # but no request followed the certificate


# ---------------------------------------------------------------------------------
# What the body holds

@pytest.fixture(scope="module")
def contents(runner, slow_runs):
    generator = random.Random(20240611)
    noise = bytes(generator.getrandbits(8) for _ in range(256 * 1024))
    assert b"\x1a" in noise[:4096]  # binary data: a Ctrl-Z ends it early
    noise_without_ctrl_z = noise.replace(b"\x1a", b"\x1b")
    # One line of 1 MiB, read in 259-character pieces: text at the start of a piece
    # reads like the start of a line, text one character later does not.
    def long_line(offset):
        line = b"x" * offset + b"VERSION=9.0" + b"x" * MIB
        return line[:MIB]
    piece_start = 259 * 2000
    return runner.together({
        "noise": Case(response(noise), mode="PX"),
        "noise_then_newer": Case(response(noise_without_ctrl_z + b"\r\n" + MUCH_NEWER)),
        "nuls_then_newer": Case(response(b"\0" * 65536 + b"\r\n" + MUCH_NEWER)),
        "nul_inside_key": Case(response(b"VERSION\0=9.0\r\nBUILD\0=1\r\n"), mode="PX"),
        "nul_ends_value": Case(response(b"VERSION=9.0\0junk\r\nBUILD=1\0" + b"7" * 40 + b"\r\n")),
        "long_line": Case(response(long_line(piece_start + 1)), mode="PX"),
        "long_line_piece": Case(response(long_line(piece_start))),
        "long_line_then_newer": Case(response(long_line(piece_start + 1) + b"\r\n" + MUCH_NEWER)),
        "cr_only": Case(response(b"VERSION=2.0\rVERSION=9.0\rBUILD=1\r"), mode="PX"),
        "ctrl_z": Case(response(NOT_NEWER + b"\x1a" + MUCH_NEWER), mode="PX"),
        "bom": Case(response(b"\xef\xbb\xbf" + MUCH_NEWER), mode="PX"),
        "bom_then_newer": Case(response(b"\xef\xbb\xbfVERSION=2.0\r\n" + MUCH_NEWER)),
    })


def test_random_binary_bytes_announce_nothing(contents):
    contents["noise"].check(dialog=False, browser=True)


def test_a_version_line_after_binary_bytes_is_still_found(contents):
    contents["noise_then_newer"].check(dialog=True, browser=False)


def test_a_version_line_after_nul_bytes_is_still_found(contents):
    contents["nuls_then_newer"].check(dialog=True, browser=False)


def test_a_nul_byte_ends_the_text_of_its_line(contents):
    # "VERSION\0=9.0" is a key without "=": nothing newer.
    contents["nul_inside_key"].check(dialog=False, browser=True)
    # "BUILD=1\0777..." is build 1, not build 1777...
    outcome = contents["nul_ends_value"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.001 " in outcome.dialog_text()


def test_a_one_megabyte_line_is_read_in_pieces_of_259_characters(contents):
    contents["long_line"].check(dialog=False, browser=True)
    outcome = contents["long_line_piece"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.012 " in outcome.dialog_text()


def test_lines_after_a_one_megabyte_line_are_read(contents):
    contents["long_line_then_newer"].check(dialog=True, browser=False)


def test_a_lone_cr_does_not_end_a_line(contents):
    # One line: VERSION=2.0 with the rest as its tail. Not newer.
    contents["cr_only"].check(dialog=False, browser=True)


def test_ctrl_z_ends_the_file(contents):
    contents["ctrl_z"].check(dialog=False, browser=True)


def test_a_utf8_byte_order_mark_hides_the_key_of_the_first_line(contents):
    contents["bom"].check(dialog=False, browser=True)


def test_a_utf8_byte_order_mark_leaves_later_lines_alone(contents):
    outcome = contents["bom_then_newer"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.001 " in outcome.dialog_text()


# ---------------------------------------------------------------------------------
# Long runs: servers that never finish, ended by the 60-second fetch deadline, and
# enormous bodies, of which 16 MiB are stored in bounded memory

BIG_BODY = 100 * MIB


def big_body(head, marker, after):
    """A 100 MiB body generated while it is sent: `head`, filler lines, `marker` ending
    exactly at the 16 MiB that are stored, then `after` repeated to the end."""
    line = b"#" * 62 + b"\r\n"
    block = line * 1024
    filler = STORED_LIMIT - len(head) - len(marker)
    last = filler % len(block)
    assert last >= 2

    def stream():
        yield head
        for _ in range(filler // len(block)):
            yield block
        yield b"#" * (last - 2) + b"\r\n" + marker
        rest = BIG_BODY - STORED_LIMIT
        tail = after * (65536 // len(after))
        while rest > 0:
            yield tail[:rest]
            rest -= len(tail)
    return response(stream=stream, length=BIG_BODY)


def redirect_loop(server):
    server.serve("/info.txt", b"", status=302, headers={"Location": server.url("/info.txt")})


@pytest.fixture(scope="module")
def slow_runs(runner, process_clock):
    """The cases that take long, started before any other: the ones the deadline ends,
    and the enormous bodies (with a tiny one to compare their memory with)."""
    never_newer_in_time = NOT_NEWER + b"#" * 400 + b"\r\n" + MUCH_NEWER
    batch = runner.start({
        "trickle_px": Case(response(never_newer_in_time, behaviour="trickle"), mode="PX"),
        "trickle": Case(response(MUCH_NEWER + b"#" * 400, behaviour="trickle")),
        "silent": Case(response(MUCH_NEWER, behaviour="stall_headers")),
        "silent_px": Case(response(MUCH_NEWER, behaviour="stall_headers"), mode="PX"),
        "stall": Case(response(MUCH_NEWER + b"#" * 5000, behaviour="stall",
                               cut_after=len(MUCH_NEWER) + 100)),
        "loop": Case(redirect_loop),
        "loop_px": Case(redirect_loop, mode="PX"),
        "tiny": Case(response(MUCH_NEWER)),
        # "VERSION=9" is newer than 3.0 only when it is the last stored line: one byte
        # fewer leaves "VERSION=" (no value), one more gives "VERSION=9e-9".
        "exact": Case(big_body(NOT_NEWER, b"VERSION=9", b"e-9\r\nVERSION=1.0\r\n")),
        "head": Case(big_body(MUCH_NEWER, b"\r\n", b"VERSION=1.0\r\n")),
    }, timeout=200)
    yield batch
    batch.abandon()


@pytest.fixture(scope="module")
def long_runs(slow_runs):
    return slow_runs.finish()


# The run's documented bound (update/download.h): 60 s for the network, 5 s for the rest,
# counted from Falwick's own start (Outcome.lifetime, dialog_seconds).
BOUND_SECONDS = 65


def ended_by_the_deadline(seconds):
    return seconds is not None and 58 <= seconds <= BOUND_SECONDS


def test_a_trickling_body_is_cut_by_the_deadline_and_what_arrived_counts(long_runs):
    # About 60 bytes arrive: the not-newer lines, never the newer ones further on.
    outcome = long_runs["trickle_px"]
    outcome.check(dialog=False, browser=True)
    assert ended_by_the_deadline(outcome.lifetime), outcome.lifetime
    outcome = long_runs["trickle"]
    outcome.check(dialog=True, browser=False)
    assert ended_by_the_deadline(outcome.dialog_seconds), outcome.dialog_seconds
    print("trickle: ended after %.1f s; notice after %.1f s"
          % (long_runs["trickle_px"].lifetime, outcome.dialog_seconds))


@pytest.mark.parametrize("mode", ["PU", "PX"])
def test_a_server_that_never_answers_is_abandoned_and_nothing_happens(long_runs, mode):
    outcome = long_runs["silent" if mode == "PU" else "silent_px"]
    outcome.check(dialog=False, browser=False)
    assert ended_by_the_deadline(outcome.lifetime), outcome.lifetime
    assert len(outcome.requests) == 1
    print("never answers (%s): ended after %.1f s" % (mode, outcome.lifetime))


def test_a_body_that_stalls_midway_counts_up_to_the_stall(long_runs):
    outcome = long_runs["stall"]
    outcome.check(dialog=True, browser=False)
    assert ended_by_the_deadline(outcome.dialog_seconds), outcome.dialog_seconds
    assert "Version 9.0.001 " in outcome.dialog_text()
    # The read still blocked at the end does not cost the answer: the box is stored.
    assert b"NoUpdateCheck=0" in outcome.settings_after
    print("stall in the body: notice after %.1f s" % outcome.dialog_seconds)


@pytest.mark.parametrize("mode", ["PU", "PX"])
def test_a_redirect_loop_is_ended_by_the_deadline_and_nothing_happens(long_runs, mode):
    outcome = long_runs["loop" if mode == "PU" else "loop_px"]
    outcome.check(dialog=False, browser=False)
    assert ended_by_the_deadline(outcome.lifetime), outcome.lifetime
    assert len(outcome.requests) > 1
    print("redirect loop (%s): %d requests, ended after %.1f s"
          % (mode, len(outcome.requests), outcome.lifetime))


def test_an_enormous_body_is_stored_up_to_16_mib_exactly(long_runs):
    outcome = long_runs["exact"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.012 " in outcome.dialog_text()


def test_a_version_at_the_start_of_an_enormous_body_is_announced(long_runs):
    # The VERSION=1.0 lines that fill the rest of the body are never read.
    outcome = long_runs["head"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.001 " in outcome.dialog_text()


def test_an_enormous_body_needs_no_more_memory_than_a_tiny_one(long_runs):
    tiny, big = long_runs["tiny"], long_runs["exact"]
    print("peak memory (VmHWM): tiny body %d KiB, 100 MiB body %d KiB (its notice after %.1f s)"
          % (tiny.peak_memory_kib, big.peak_memory_kib, big.dialog_seconds))
    assert tiny.peak_memory_kib > 0
    # Holding the 16 MiB stored, or a good part of them, would show.
    assert big.peak_memory_kib < tiny.peak_memory_kib + 4 * 1024
