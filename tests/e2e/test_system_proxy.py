"""Falwick behind the proxy Windows is set to use (the user's Internet Settings:
ProxyEnable, ProxyServer), as in an office: its request goes through a local recording
proxy, http as an absolute-form GET and https tunnelled with CONNECT, each with the
agent string, and the notice appears. A proxy that asks for credentials (407) is
answered at once, like an error page (nothing; an explicit check opens the download
page), one that never answers is given up at the fetch deadline, and one that is down
fails at once: nothing is shown, opened, written or left.

The setting is the prefix's for the suite only; the runs go without the harness's
no_proxy, which would bypass the proxy for loopback (harness.proxy)."""

import pytest

from harness import certs, ini
from harness.proxy import RecordingProxy, windows_proxy_setting
from harness.runs import Case
from harness.sample import HOST_SETTINGS, MUCH_NEWER

AGENT = "Orvanel Program Update"
THROUGH_THE_PROXY = {"no_proxy": None}
BEFORE_THE_DEADLINE = 55  # seconds: the fetch deadline ends a run after 60


@pytest.fixture(scope="module")
def runs(runner, wine, certificates):
    """{name: (outcome, its server's port, what the proxy was asked for that server)}:
    the cases through the recording proxy at once, then those with the proxy down."""
    trusted = certificates["trusted"].server_context()
    ports = {}
    with RecordingProxy() as proxy:
        def case(name, mode="PU", misbehaviour=None, **https):
            def answer(server):
                server.serve("/info.txt", MUCH_NEWER)
                ports[name] = server.port
                if misbehaviour:
                    proxy.misbehaviour[server.port] = misbehaviour
            return Case(answer, mode=mode, env=THROUGH_THE_PROXY, **https)

        tls = {"tls": trusted, "host": "localhost"}
        with certs.trusted(wine, certificates["ca"]), \
                windows_proxy_setting(wine, proxy.address):
            outcomes = runner.together({
                "http": case("http"),
                "https": case("https", **tls),
                "refused": case("refused", misbehaviour="refuse"),
                "refused_px": case("refused_px", "PX", misbehaviour="refuse"),
                "refused_https": case("refused_https", misbehaviour="refuse", **tls),
                "refused_https_px": case("refused_https_px", "PX", misbehaviour="refuse",
                                         **tls),
                "stalled": case("stalled", misbehaviour="stall"),
                "stalled_px": case("stalled_px", "PX", misbehaviour="stall"),
            }, actions=("tick", "no"))
        with windows_proxy_setting(wine, "127.0.0.1:9"):  # nothing listens there
            outcomes.update(runner.together({"down": case("down"),
                                             "down_px": case("down_px", "PX")}))
    asked = {}
    for request in proxy.requests:
        asked.setdefault(request.address[1], []).append(
            (request.method, request.target, request.user_agent))
    return {name: (outcome, ports[name], asked.get(ports[name], []))
            for name, outcome in outcomes.items()}


@pytest.mark.parametrize("name, method, target", [
    ("http", "GET", "http://127.0.0.1:%d/info.txt"),
    ("https", "CONNECT", "localhost:%d"),
])
def test_the_request_goes_through_the_proxy_with_the_agent_string(runs, name, method, target):
    outcome, port, asked = runs[name]
    outcome.check(dialog=True, browser=False)
    assert asked == [(method, target % port, AGENT)]
    assert [(r.path, r.user_agent) for r in outcome.requests] == [("/info.txt", AGENT)]
    sections, _ = ini.sections(HOST_SETTINGS)
    assert ini.sections(outcome.settings_after) == (
        ini.with_value(sections, "Options", "NoUpdateCheck", "1"), [])


# WinINet hands the proxy's 407 answer over as the response, and it is read like an
# error page: nothing newer, so an explicit check opens the download page.
@pytest.mark.parametrize("name, browser", [
    ("refused", False), ("refused_px", True), ("refused_https", False),
    ("refused_https_px", True)])
def test_a_proxy_asking_for_credentials_is_answered_at_once_like_an_error_page(
        runs, name, browser):
    outcome, _, asked = runs[name]
    outcome.check(dialog=False, browser=browser)
    assert len(asked) == 1  # asked once, no retry
    assert outcome.requests == []
    assert outcome.seconds < BEFORE_THE_DEADLINE


@pytest.mark.parametrize("name", ["stalled", "stalled_px"])
def test_a_proxy_that_never_answers_is_given_up_at_the_fetch_deadline(runs, name):
    outcome, _, asked = runs[name]
    outcome.check(dialog=False, browser=False)
    assert len(asked) == 1
    assert outcome.requests == []
    assert 58 <= outcome.seconds <= 90
    print("%s: ended after %.1f s" % (name, outcome.seconds))


@pytest.mark.parametrize("name", ["down", "down_px"])
def test_a_proxy_that_is_down_ends_the_run_at_once(runs, name):
    outcome, _, asked = runs[name]
    outcome.check(dialog=False, browser=False)
    assert asked == [] and outcome.requests == []
    assert outcome.seconds < BEFORE_THE_DEADLINE
