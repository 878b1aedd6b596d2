"""falwick-info check URL, native build: the fetch through libcurl reports how a published
file is served (the responses on the way, the cache headers and what caches may do with
them, TLS and its verification, and whether Windows 10's TLS 1.2 gets through) and
bounds the body as Falwick does, against local http and https servers, and through
Debian's squid holding an old copy (http_proxy). Like WinINet it asks for no encoding
and decodes none."""

import gzip
import json
import os
import ssl
import subprocess
import tempfile
import time
from email.utils import formatdate
from pathlib import Path

import pytest

from harness import certs, sample
from harness.server import LocalServer
from harness.squid import Squid, StaleCopy

TOOL = os.environ["FALWICK_INFO"]
MIB16 = 16 << 20
CACHED = {"Cache-Control": "max-age=300"}
CLEAN = b"VERSION=4\r\nBUILD=1\r\n"  # newer than the sample, and no trap in it
GZIPPED = gzip.compress(CLEAN)
DAY = 86400
# What squid 5 adds to an answer from its cache.
SQUID_HIT = {"Age": "7260", "X-Cache": "HIT from proxy.test",
             "X-Cache-Lookup": "HIT from proxy.test:3128", "Via": "1.1 proxy.test (squid/5.7)"}


@pytest.fixture(scope="module")
def servers(tmp_path_factory):
    directory = tmp_path_factory.mktemp("tls")
    ca = certs.make_ca(directory)
    stranger = certs.make_ca(directory / "other", name="Someone Else")
    with LocalServer() as plain, \
            LocalServer(tls=certs.issue(ca, "server").server_context(), host="localhost") as tls, \
            LocalServer(tls=certs.issue(stranger, "untrusted").server_context(),
                        host="localhost") as untrusted, \
            LocalServer(tls=tls13_only(certs.issue(ca, "modern")), host="localhost") as modern, \
            LocalServer(tls=chacha_only(certs.issue(ca, "chacha")), host="localhost") as chacha:
        modern.serve("/info.txt", CLEAN, headers=CACHED)
        chacha.serve("/info.txt", CLEAN, headers=CACHED)
        tls.serve("/info.txt", CLEAN, headers=CACHED)
        untrusted.serve("/info.txt", CLEAN, headers=CACHED)
        plain.serve("/info.txt", CLEAN, headers=CACHED)
        plain.serve("/bare.txt", CLEAN)
        # An object store's file stored gzipped: sent compressed whatever the request says.
        plain.serve("/gzip.txt", GZIPPED, headers=dict(CACHED, **{"Content-Encoding": "gzip"}))
        plain.serve("/static.txt", CLEAN, headers={"Last-Modified": days_ago(300)})
        plain.serve("/week.txt", CLEAN, headers={"Cache-Control": "public, max-age=604800"})
        plain.serve("/squid.txt", CLEAN, headers=dict(SQUID_HIT, **{"Cache-Control": "no-cache"}))
        plain.serve("/moved.txt", status=301, headers={"Location": tls.url("/info.txt")})
        plain.serve("/missing.txt", b"<html>Not found</html>", status=404,
                    headers=dict(CACHED, **{"Content-Type": "text/html"}))
        plain.scenario["/huge.txt"] = sample_stream(MIB16 + 5000)
        yield {"plain": plain, "tls": tls, "untrusted": untrusted, "modern": modern,
               "chacha": chacha, "ca": ca}


def days_ago(days):
    return formatdate(time.time() - days * DAY, usegmt=True)


def tls13_only(issued):
    context = issued.server_context()
    context.minimum_version = ssl.TLSVersion.TLSv1_3
    return context


def chacha_only(issued):
    """TLS 1.2 with ChaCha20-Poly1305 only: OpenSSL's offer gets through, Schannel's not."""
    context = issued.server_context(max_tls12=True)
    context.set_ciphers("ECDHE-ECDSA-CHACHA20-POLY1305")
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
    return sorted(w["id"] for w in report["findings"])


@pytest.mark.parametrize("server, path, code, statuses, newer, warnings", [
    ("tls", "/info.txt", 0, [200], True, []),
    ("modern", "/info.txt", 2, [200], True, ["tls12-refused"]),
    ("chacha", "/info.txt", 2, [200], True, ["tls12-refused"]),
    ("plain", "/info.txt", 1, [200], True, ["http-not-https"]),
    ("plain", "/bare.txt", 1, [200], True, ["http-not-https", "no-cache-headers"]),
    ("plain", "/moved.txt", 1, [301, 200], True, ["http-not-https"]),
    ("plain", "/missing.txt", 2, [404], False,
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
    assert fetch["tls12_accepted"] is (("tls12-refused" not in warnings) if https else None)
    if "tls12-refused" in warnings:
        [refused] = [w for w in report["findings"] if w["id"] == "tls12-refused"]
        assert refused["severity"] == "error" and "Windows 10" in refused["text"]
        assert ("Windows 11 and Server 2022 fetch it over TLS 1.3" in refused["text"]) == (
            server == "modern")


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


def test_an_untrusted_certificate_could_not_be_checked(servers):
    exit_code, report = check(servers, "untrusted", "/info.txt")
    fetch = report["fetch"]
    assert (exit_code, fetch["opened"], fetch["certificate_verified"]) == (3, False, False)
    assert fetch["error_name"] == "CURLE_PEER_FAILED_VERIFICATION"
    assert (report["newer"], report["values"]) == (None, None)
    assert [(w["id"], w["severity"]) for w in report["findings"]] == [("url-not-opened", "error")]


def test_a_body_past_16_mib_is_cut_as_falwick_cuts_it(servers):
    exit_code, report = check(servers, "plain", "/huge.txt")
    assert report["fetch"]["bytes"] == MIB16 and report["fetch"]["body_cut"]
    assert "body-cut" in warning_ids(report) and report["newer"]


def test_a_body_compressed_unasked_is_judged_as_falwick_stores_it(servers):
    exit_code, report = check(servers, "plain", "/gzip.txt")
    fetch = report["fetch"]
    assert (fetch["headers"]["Content-Encoding"], fetch["bytes"]) == ("gzip", len(GZIPPED))
    assert "content-encoding" in warning_ids(report)
    assert report["newer"] is False and report["values"]["VERSION"] is None
    asked = [r for r in servers["plain"].requests if r.path == "/gzip.txt"]
    assert asked and not any(name.lower() == "accept-encoding"
                             for r in asked for name in r.headers)


@pytest.mark.parametrize("path, rule, fresh, new_warnings, age", [
    ("/static.txt", "last-modified", 30 * DAY, ["windows-cache-lifetime"], None),
    ("/week.txt", "max-age", 7 * DAY, ["windows-cache-lifetime"], None),
    ("/info.txt", "max-age", 300, [], None),
    ("/squid.txt", "no-cache", 0, ["served-by-cache"], 7260),
])
def test_how_long_caches_may_answer_alone(servers, path, rule, fresh, new_warnings, age):
    if path == "/static.txt":  # 300 days from now: the suite's other tests take a while
        servers["plain"].serve(path, CLEAN, headers={"Last-Modified": days_ago(300)})
    exit_code, report = check(servers, "plain", path)
    fetch = report["fetch"]
    assert fetch["windows_cache"]["rule"] == rule
    assert abs(fetch["windows_cache"]["fresh_seconds"] - fresh) <= 1
    new = {"windows-cache-lifetime", "served-by-cache", "content-encoding"}
    assert [i for i in warning_ids(report) if i in new] == new_warnings
    way = fetch["cache_on_the_way"]
    assert (way and way["age_seconds"]) == age
    if age:
        assert any("a copy 2 hours old" in w["text"] for w in report["findings"])


def test_an_old_copy_from_a_caching_proxy_is_named_with_its_age():
    """Through squid (http_proxy, as a release pipeline behind one would run it): squid
    keeps the release it fetched and answers with it after a newer one is published."""
    # Not under pytest's own temporary directory: squid, run as its own user when the
    # tests run as root, must reach its directory.
    with tempfile.TemporaryDirectory(prefix="falwick-squid-") as place:
        os.chmod(place, 0o711)
        report, squid = old_copy_through_squid(Path(place) / "squid")
    fetch = report["fetch"]
    assert fetch["proxy"] == "http://" + squid.address
    assert report["values"]["VERSION"] == 4  # the old copy, not what is published now
    way = fetch["cache_on_the_way"]
    assert way["age_seconds"] >= 2 and "X-Cache: HIT from office-proxy" in way["evidence"]
    [served] = [w for w in report["findings"] if w["id"] == "served-by-cache"]
    assert "a copy %d seconds old" % way["age_seconds"] in served["text"]


def old_copy_through_squid(directory):
    """check URL --json of a file squid has kept while a newer one was published: the
    report, and squid (stopped)."""
    with Squid(directory) as squid:
        stale = StaleCopy(squid, CLEAN)
        try:
            stale.prime("Orvanel Program Update")
            stale.publish(b"VERSION=9\r\nBUILD=1\r\n")
            time.sleep(2)  # an Age of whole seconds
            env = dict(os.environ, http_proxy="http://" + squid.address)
            env.pop("no_proxy", None)
            env.pop("NO_PROXY", None)
            result = subprocess.run([TOOL, "check", stale.url, "--installed", sample.INSTALLED,
                                     "--json"], capture_output=True, timeout=90, env=env)
            assert len(stale.origin_requests()) == 1  # squid answered from its cache
            return json.loads(result.stdout), squid
        finally:
            stale.close()
