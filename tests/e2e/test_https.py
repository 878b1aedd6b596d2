"""Falwick over https as hosts publish: a server whose certificate comes from a CA the
machine trusts (made for the test and trusted through the prefix's root store for the
suite only), an http address moved to https, and the certificates WinINet refuses:
expired, made out to another host, or from a CA no one trusts. A refused certificate
ends the run as an unreachable server does: nothing shown, opened, written or left."""

import pytest

from harness import certs, ini
from harness.runs import Case
from harness.sample import HOST_SETTINGS, MUCH_NEWER, NOT_NEWER
from harness.server import LocalServer, response

AGENT = "Orvanel Program Update"
REFUSED = ("expired", "wrong_host", "untrusted")


def seen(requests):
    return [(r.method, r.path, r.user_agent) for r in requests]


@pytest.fixture(scope="module")
def runs(runner, wine, certificates):
    """Every case at once, each notice answered with the box ticked and "No"; and what
    the https server that the moved address points to was asked."""
    trusted = certificates["trusted"].server_context()
    with certs.trusted(wine, certificates["ca"]) as key, \
            LocalServer(tls=trusted, host="localhost") as moved_to:
        moved_to.serve("/info.txt", MUCH_NEWER)

        def moved(server):
            server.serve("/old/info.txt", status=301,
                         headers={"Location": moved_to.url("/info.txt")})

        cases = {
            "trusted": Case(response(MUCH_NEWER), tls=trusted, host="localhost"),
            "trusted_px": Case(response(NOT_NEWER), mode="PX", tls=trusted, host="localhost"),
            "moved": Case(moved, path="/old/info.txt"),
        }
        for name in REFUSED:
            for mode in ("PU", "PX"):
                cases["%s_%s" % (name, mode.lower())] = Case(
                    response(MUCH_NEWER), mode=mode, host="localhost",
                    tls=certificates[name].server_context())
        outcomes = runner.together(cases, actions=("tick", "no"))
    assert wine.reg_value(key, "Blob") is None, "the test CA is still trusted"
    return outcomes, list(moved_to.requests)


def ticked_settings():
    sections, _ = ini.sections(HOST_SETTINGS)
    return ini.with_value(sections, "Options", "NoUpdateCheck", "1"), []


def test_a_trusted_certificate_gets_the_notice_for_a_request_with_the_agent_string(runs):
    outcomes, _ = runs
    outcome = outcomes["trusted"]
    outcome.check(dialog=True, browser=False)
    assert "Version 9.0.001 " in outcome.dialog_text()
    assert seen(outcome.requests) == [("GET", "/info.txt", AGENT)]
    assert ini.sections(outcome.settings_after) == ticked_settings()
    # Nothing newer: an explicit check opens the download page.
    outcome = outcomes["trusted_px"]
    outcome.check(dialog=False, browser=True)
    assert seen(outcome.requests) == [("GET", "/info.txt", AGENT)]


def test_an_http_address_moved_to_https_is_followed(runs):
    outcomes, moved_to = runs
    outcome = outcomes["moved"]
    outcome.check(dialog=True, browser=False)
    assert seen(outcome.requests) == [("GET", "/old/info.txt", AGENT)]
    assert seen(moved_to) == [("GET", "/info.txt", AGENT)]
    assert ini.sections(outcome.settings_after) == ticked_settings()


@pytest.mark.parametrize("mode", ["pu", "px"])
@pytest.mark.parametrize("certificate", REFUSED)
def test_a_refused_certificate_ends_the_run_before_any_request(runs, certificate, mode):
    outcome = runs[0]["%s_%s" % (certificate, mode)]
    outcome.check(dialog=False, browser=False)
    assert outcome.connections >= 1  # the server was reached,
    assert outcome.requests == []  # but no request followed the handshake
