"""Falwick behind the proxy Windows is set to use (the user's Internet Settings:
ProxyEnable, ProxyServer), as in an office: Debian's squid, started for the suite
(harness.squid). Its request goes through squid, http as an absolute-form GET and https
tunnelled with CONNECT, each with the agent string, and the notice appears. A proxy that
asks for credentials (407, Basic) is answered at once, like an error page (nothing; an
explicit check opens the download page), and so is squid's own error page for a server
that is down; a proxy that never answers (its server stalls) is given up at the fetch
deadline, and one that is down fails at once: nothing is shown, opened, written or left.
A release squid has cached keeps being announced after a newer one is published, and
falwick-info (run and check URL) reads the same copy and names the cache that answered.

The setting is the prefix's for the suite only; the runs go without the harness's
no_proxy, which would bypass the proxy for loopback (harness.proxy)."""

import pytest

from harness import certs, ini
from harness.proxy import windows_proxy_setting
from harness.runs import Case
from harness.sample import HOST_SETTINGS, INSTALLED, MUCH_NEWER, NEWER, UNREACHABLE, \
    command_line, tokens
from harness.server import LocalServer, response
from harness.squid import MEMBERS_SITE, PASSWORD, USER, Squid, StaleCopy
from harness.wine import wait_until

AGENT = "Orvanel Program Update"
THROUGH_THE_PROXY = {"no_proxy": None}
# Seconds from Falwick's own start (Outcome.lifetime): the fetch deadline ends a run
# after 60, and the run's bound is 65 (update/download.h).
BEFORE_THE_DEADLINE = 55
BOUND_SECONDS = 65


@pytest.fixture(scope="module")
def squid(work):
    with Squid(work / "squid") as proxy:
        print("squid listening at %s after %.2f s" % (proxy.address, proxy.startup_seconds))
        yield proxy


@pytest.fixture(scope="module")
def office_proxy(wine, squid):
    """squid as the prefix's Windows proxy setting, for the module."""
    with windows_proxy_setting(wine, squid.address):
        yield squid


@pytest.fixture(scope="module")
def cache_scenario(squid):
    """An origin publishing the sample release (3.0.014) a day old, behind squid."""
    stale = StaleCopy(squid, NEWER)
    yield stale
    stale.close()


@pytest.fixture(scope="module")
def runs(runner, process_clock, wine, certificates, office_proxy, cache_scenario):
    """{name: (outcome, what squid's access log holds for that case's server)}: the
    cases through squid at once (with the cached release's second run as soon as its
    first has been answered), then those with the proxy down."""
    trusted = certificates["trusted"].server_context()
    targets = {}

    def case(name, mode="PU", answer=response(MUCH_NEWER), host="127.0.0.1", tls=None,
             url=None):
        def serve(server):
            server.scenario["/info.txt"] = answer
            if url is None:
                targets[name] = server.url("/info.txt") if tls is None else \
                    "%s:%d" % (host, server.port)
        if url is not None:
            targets[name] = url
        overrides = {"info_url": url} if url is not None else {}
        return Case(serve, mode=mode, env=THROUGH_THE_PROXY, host=host, tls=tls,
                    overrides=overrides)

    stalls = response(MUCH_NEWER, behaviour="stall_headers")
    tls = {"tls": trusted, "host": "localhost"}
    members_tls = {"tls": trusted, "host": MEMBERS_SITE}
    with certs.trusted(wine, certificates["ca"]):
        first = runner.start({
            "http": case("http"),
            "https": case("https", **tls),
            "refused": case("refused", host=MEMBERS_SITE),
            "refused_px": case("refused_px", "PX", host=MEMBERS_SITE),
            "refused_https": case("refused_https", **members_tls),
            "refused_https_px": case("refused_https_px", "PX", **members_tls),
            "origin_down": case("origin_down", url=UNREACHABLE + "/pu/info.txt"),
            "origin_down_px": case("origin_down_px", "PX", url=UNREACHABLE + "/px/info.txt"),
            "stalled": case("stalled", answer=stalls),
            "stalled_px": case("stalled_px", "PX", answer=stalls),
            "cached_first": case("cached_first", url=cache_scenario.url),
        }, actions=("tick", "no"))
        # squid has the release once it has answered the first run: then a newer one is
        # published, and a second run starts while the others still wait.
        if not wait_until(lambda: cache_scenario.entries(), timeout=60):
            first.abandon()
            pytest.fail("squid never answered the cached release's first run")
        cache_scenario.publish(MUCH_NEWER)
        again = runner.start({"cached_again": case("cached_again", url=cache_scenario.url)},
                             actions=("tick", "no"))
        outcomes = first.finish()
        outcomes.update(again.finish())
    with windows_proxy_setting(wine, "127.0.0.1:9"):  # nothing listens there
        outcomes.update(runner.together({"down": case("down"),
                                         "down_px": case("down_px", "PX")}))
    log = office_proxy.access_log()
    for entry in log:
        print(entry.line)
    return {name: (outcome, [e for e in log if e.url == targets[name]])
            for name, outcome in outcomes.items()}


@pytest.fixture(scope="module")
def stale_copy(runs, cache_scenario):
    """The caching proxy as the runs leave it: squid holds the sample release and
    answers with it from its cache, while the origin publishes 9.0.001. The prefix's
    proxy setting is squid for the module (office_proxy); a run of a Windows program
    that is to go through it needs THROUGH_THE_PROXY."""
    return cache_scenario


def ticked_settings():
    sections, _ = ini.sections(HOST_SETTINGS)
    return ini.with_value(sections, "Options", "NoUpdateCheck", "1"), []


def asked(entries):
    return [(e.result, e.status, e.method, e.user_agent) for e in entries]


@pytest.mark.parametrize("name, answered", [
    ("http", ("TCP_MISS", 200, "GET", AGENT)),
    ("https", ("TCP_TUNNEL", 200, "CONNECT", AGENT)),
])
def test_the_request_goes_through_the_proxy_with_the_agent_string(runs, name, answered):
    outcome, entries = runs[name]
    outcome.check(dialog=True, browser=False)
    assert asked(entries) == [answered]
    assert [(r.path, r.user_agent) for r in outcome.requests] == [("/info.txt", AGENT)]
    assert ini.sections(outcome.settings_after) == ticked_settings()


# WinINet hands the proxy's 407 answer, or its error page for a server that is down,
# over as the response, and it is read like an error page: nothing newer, so an explicit
# check opens the download page.
@pytest.mark.parametrize("name, browser, answered", [
    ("refused", False, ("TCP_DENIED", 407, "GET", AGENT)),
    ("refused_px", True, ("TCP_DENIED", 407, "GET", AGENT)),
    ("refused_https", False, ("TCP_DENIED", 407, "CONNECT", AGENT)),
    ("refused_https_px", True, ("TCP_DENIED", 407, "CONNECT", AGENT)),
    ("origin_down", False, ("TCP_MISS", 503, "GET", AGENT)),
    ("origin_down_px", True, ("TCP_MISS", 503, "GET", AGENT)),
])
def test_the_proxys_own_answer_is_read_at_once_like_an_error_page(
        runs, name, browser, answered):
    outcome, entries = runs[name]
    outcome.check(dialog=False, browser=browser)
    assert asked(entries) == [answered]  # asked once, no retry
    assert outcome.requests == []
    assert outcome.lifetime < BEFORE_THE_DEADLINE


def test_the_proxy_asks_credentials_that_it_would_accept(office_proxy):
    """The 407 is the office proxy's Basic login, not a fault of the test's squid: with
    the user's password the same site is served."""
    with LocalServer() as site:
        site.serve("/info.txt", MUCH_NEWER)
        url = "http://%s:%d/info.txt" % (MEMBERS_SITE, site.port)
        status, headers, _ = office_proxy.get(url, AGENT)
        assert status == 407
        assert dict(headers)["Proxy-Authenticate"] == 'Basic realm="Office proxy"'
        status, _, body = office_proxy.get(url, AGENT, credentials=(USER, PASSWORD))
        assert (status, body) == (200, MUCH_NEWER)
        assert len(site.requests) == 1


@pytest.mark.parametrize("name", ["stalled", "stalled_px"])
def test_a_proxy_that_never_answers_is_given_up_at_the_fetch_deadline(runs, name):
    outcome, entries = runs[name]
    outcome.check(dialog=False, browser=False)
    assert asked(entries) == [("TCP_MISS_ABORTED", 0, "GET", AGENT)]  # Falwick hung up
    assert 58 <= outcome.lifetime <= BOUND_SECONDS
    print("%s: ended after %.1f s" % (name, outcome.lifetime))


@pytest.mark.parametrize("name", ["down", "down_px"])
def test_a_proxy_that_is_down_ends_the_run_at_once(runs, name):
    outcome, entries = runs[name]
    outcome.check(dialog=False, browser=False)
    assert entries == [] and outcome.requests == []
    assert outcome.lifetime < BEFORE_THE_DEADLINE


def test_a_cached_release_is_announced_after_a_newer_one_is_published(runs, stale_copy):
    first, _ = runs["cached_first"]
    again, entries = runs["cached_again"]
    for outcome in (first, again):
        outcome.check(dialog=True, browser=False)
        assert "Version 3.0.014 " in outcome.dialog_text()
    # The origin was asked once, for the first run; squid answered the second from memory.
    assert [(r.path, r.user_agent) for r in stale_copy.origin_requests()] == [
        ("/info.txt", AGENT)]
    assert [(e.result, e.status, e.hierarchy, e.user_agent) for e in entries] == [
        ("TCP_MISS", 200, "HIER_DIRECT/127.0.0.1", AGENT),
        ("TCP_MEM_HIT", 200, "HIER_NONE/-", AGENT)]
    # What squid sends with such an answer (what the tools are to read).
    status, headers, body = stale_copy.through_proxy(AGENT)
    print("squid's answer from its cache: %s" % headers)
    assert (status, body) == (200, NEWER)
    assert headers["X-Cache"] == "HIT from office-proxy"
    assert headers["Via"].startswith("1.1 office-proxy (squid/")
    assert int(headers["Age"]) >= 1
    assert len(stale_copy.origin_requests()) == 1


def duration(seconds):
    """As the tools write an age below an hour: "1 second", "3 minutes"."""
    count, unit = (seconds // 60, "minute") if seconds >= 60 else (seconds, "second")
    return "%d %s%s" % (count, unit, "" if count == 1 else "s")


def test_the_tools_read_the_cached_copy_and_name_the_cache_that_answered(
        wine, info_tool, program, stale_copy):
    """Where Falwick keeps announcing squid's old copy, run and check URL read that copy
    too, say that a cache on the way answered and how old its copy is, and that Windows'
    own cache did not (squid did: it sent X-Cache, Age and Via)."""
    env = wine.environment(**THROUGH_THE_PROXY)
    run = info_tool.dry_run(command_line(tokens(info_url=stale_copy.url)), "--dir",
                            wine.windows_path(program.path), env=env)
    check = info_tool.check(stale_copy.url, "--installed", INSTALLED, env=env)
    assert (run.data["outcome"], run.data["reason"]) == ("notice", "newer"), run.data
    assert run.data["steps"]["notice"]["display_version"] == "3.0.014"
    assert check.newer is True, check.data
    for report, fetch in ((run.data, run.data["steps"]["fetch"]), (check.data, check.data["fetch"])):
        way = fetch["cache_on_the_way"]
        assert way["age_seconds"] >= 1 and "X-Cache: HIT from office-proxy" in way["evidence"]
        [served] = [w for w in report["findings"] if w["id"] == "served-by-cache"]
        print(served["text"])
        assert "a copy %s old" % duration(way["age_seconds"]) in served["text"]
        # Windows' own cache did not answer ("From cache no"); how long it may answer
        # alone comes from the copy's Last-Modified, a day old.
        assert fetch["from_cache"] is False and fetch["proxy"] == stale_copy.squid.address
        assert fetch["windows_cache"]["rule"] == "last-modified"
    assert run.data["from_cache"] is False
    assert len(stale_copy.origin_requests()) == 1  # squid answered both from its cache
