"""falwick-info check URL, native build: the fetch through libcurl reports how a published
file is served (the responses on the way, the cache headers, TLS and its verification)
and bounds the body as Falwick does, against local http and https servers."""

import json
import os
import ssl
import subprocess

import pytest

from harness import certs, sample
from harness.server import LocalServer

TOOL = os.environ["FALWICK_INFO"]
MIB16 = 16 << 20
CACHED = {"Cache-Control": "max-age=300"}
CLEAN = b"VERSION=4\r\nBUILD=1\r\n"  # newer than the sample, and no trap in it


@pytest.fixture(scope="module")
def servers(tmp_path_factory):
    directory = tmp_path_factory.mktemp("tls")
    ca = certs.make_ca(directory)
    stranger = certs.make_ca(directory / "other", name="Someone Else")
    with LocalServer() as plain, \
            LocalServer(tls=certs.issue(ca, "server").server_context(), host="localhost") as tls, \
            LocalServer(tls=certs.issue(stranger, "untrusted").server_context(),
                        host="localhost") as untrusted, \
            LocalServer(tls=tls13_only(certs.issue(ca, "modern")), host="localhost") as modern:
        modern.serve("/info.txt", CLEAN, headers=CACHED)
        tls.serve("/info.txt", CLEAN, headers=CACHED)
        untrusted.serve("/info.txt", CLEAN, headers=CACHED)
        plain.serve("/info.txt", CLEAN, headers=CACHED)
        plain.serve("/bare.txt", CLEAN)
        plain.serve("/moved.txt", status=301, headers={"Location": tls.url("/info.txt")})
        plain.serve("/missing.txt", b"<html>Not found</html>", status=404,
                    headers=dict(CACHED, **{"Content-Type": "text/html"}))
        plain.scenario["/huge.txt"] = sample_stream(MIB16 + 5000)
        yield {"plain": plain, "tls": tls, "untrusted": untrusted, "modern": modern, "ca": ca}


def tls13_only(issued):
    context = issued.server_context()
    context.minimum_version = ssl.TLSVersion.TLSv1_3
    return context


def sample_stream(length):
    from harness.server import response

    def pieces():
        yield CLEAN
        left = length - len(CLEAN)
        while left > 0:
            yield b"x" * min(65536, left)
            left -= 65536
    return response(stream=pieces, length=length, headers=CACHED)


def check(servers, server, path, *options):
    url = servers[server].url(path)
    result = subprocess.run([TOOL, "check", url, "--installed", sample.INSTALLED, "--json",
                             "--ca-file", str(servers["ca"].cert_file), *options],
                            capture_output=True, timeout=90)
    return result.returncode, json.loads(result.stdout)


def warning_ids(report):
    return sorted(w["id"] for w in report["warnings"])


@pytest.mark.parametrize("server, path, code, statuses, newer, warnings", [
    ("tls", "/info.txt", 0, [200], True, []),
    ("modern", "/info.txt", 1, [200], True, ["tls12-refused"]),
    ("plain", "/info.txt", 1, [200], True, ["http-not-https"]),
    ("plain", "/bare.txt", 1, [200], True, ["http-not-https", "no-cache-headers"]),
    ("plain", "/moved.txt", 1, [301, 200], True, ["http-not-https"]),
    ("plain", "/missing.txt", 1, [404], False,
     ["html-body", "html-page", "http-not-https", "no-version-no-build", "status-not-200"]),
])
def test_the_responses_and_how_they_are_served(servers, server, path, code, statuses, newer,
                                               warnings):
    exit_code, report = check(servers, server, path)
    fetch = report["fetch"]
    assert (exit_code, [r["status"] for r in fetch["responses"]]) == (code, statuses)
    assert (report["newer"], warning_ids(report)) == (newer, warnings)
    assert fetch["status"] == statuses[-1] and fetch["error"] is None
    https = fetch["final_url"].startswith("https:")
    assert fetch["certificate_verified"] is (True if https else None)
    assert (fetch["tls_version"] or "").startswith("TLSv1.") == https


def test_a_redirect_is_reported_hop_by_hop(servers):
    result = subprocess.run([TOOL, "check", servers["plain"].url("/moved.txt"), "--ca-file",
                             str(servers["ca"].cert_file)], capture_output=True, text=True)
    rows = result.stdout.splitlines()
    assert "Redirect          301 from %s to %s" % (
        servers["plain"].url("/moved.txt"), servers["tls"].url("/info.txt")) in rows
    assert "Final URL         %s" % servers["tls"].url("/info.txt") in rows
    assert "Cache-Control     max-age=300" in rows
    assert any(r.startswith("TLS               TLSv1.") and "certificate verified" in r
               for r in rows)


def test_an_untrusted_certificate_is_an_error(servers):
    exit_code, report = check(servers, "untrusted", "/info.txt")
    fetch = report["fetch"]
    assert (exit_code, fetch["opened"], fetch["certificate_verified"]) == (2, False, False)
    assert fetch["error_name"] == "CURLE_PEER_FAILED_VERIFICATION"
    assert "newer" not in report


def test_a_body_past_16_mib_is_cut_as_falwick_cuts_it(servers):
    exit_code, report = check(servers, "plain", "/huge.txt")
    assert report["fetch"]["bytes"] == MIB16 and report["fetch"]["body_cut"]
    assert "body-cut" in warning_ids(report) and report["newer"]
