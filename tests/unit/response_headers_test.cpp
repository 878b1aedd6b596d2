// The rules that a response's headers decide: how long Windows' cache answers alone, an
// answer from a cache on the way, and the findings check URL and run give for them.
#include <gtest/gtest.h>

#include "tools/info/fetch/caches.h"
#include "tools/info/fetch/fetch_report.h"

namespace {

constexpr int64_t kDay = 86400;
const char* kDate = "Thu, 10 Dec 2026 00:00:00 GMT";
constexpr int64_t kDateSeconds = 1796860800;
// This machine's clock at the fetch, a day behind the server's: Date must win over it.
constexpr int64_t kFetchedAt = kDateSeconds - kDay;

ResponseHeaders Served(const char* cacheControl = "", const char* expires = "",
                       const char* lastModified = "", const char* date = kDate,
                       const char* pragma = "") {
  ResponseHeaders headers;
  headers["Cache-Control"] = cacheControl;
  headers["Expires"] = expires;
  headers["Last-Modified"] = lastModified;
  headers["Date"] = date;
  headers["Pragma"] = pragma;
  return headers;
}

TEST(WindowsCacheLifetime, FollowsCacheControlThenExpiresThenLastModified) {
  const char* k300DaysBefore = "Fri, 13 Feb 2026 00:00:00 GMT";
  const char* k100DaysBefore = "Tue, 01 Sep 2026 00:00:00 GMT";
  const char* kTwoDaysAfter = "Sat, 12 Dec 2026 00:00:00 GMT";
  const struct {
    ResponseHeaders served;
    CacheRule rule;
    int64_t seconds;
  } cases[] = {
      // Cache-Control max-age; s-maxage is for shared caches, and the stale-time
      // directives change nothing.
      {Served("max-age=300"), CacheRule::kMaxAge, 300},
      {Served("public, max-age=86400, must-revalidate"), CacheRule::kMaxAge, kDay},
      {Served("max-age=0"), CacheRule::kMaxAge, 0},
      {Served("max-age=soon"), CacheRule::kMaxAge, 0},
      {Served("max-age=60", kTwoDaysAfter), CacheRule::kMaxAge, 60},
      {Served("s-maxage=600", "", k100DaysBefore), CacheRule::kLastModified, 10 * kDay},
      // no-cache and no-store override everything, Pragma only without Cache-Control.
      {Served("max-age=3600, no-cache"), CacheRule::kNoCache, 0},
      {Served("private, no-cache=\"Set-Cookie, X-A\""), CacheRule::kNoCache, 0},
      {Served("no-store, max-age=600"), CacheRule::kNoStore, 0},
      {Served("", "", k100DaysBefore, kDate, "no-cache"), CacheRule::kNoCache, 0},
      {Served("public", "", k100DaysBefore, kDate, "no-cache"), CacheRule::kLastModified, 10 * kDay},
      // Expires, from Date in any of the three date forms, or from the fetch without Date.
      {Served("", kTwoDaysAfter), CacheRule::kExpires, 2 * kDay},
      {Served("", "Saturday, 12-Dec-26 00:00:00 GMT"), CacheRule::kExpires, 2 * kDay},
      {Served("", "Sat Dec 12 00:00:00 2026", k300DaysBefore), CacheRule::kExpires, 2 * kDay},
      {Served("", kTwoDaysAfter, "", ""), CacheRule::kExpires, 3 * kDay},
      {Served("", "-1", k300DaysBefore), CacheRule::kExpires, 0},
      {Served("", "Wed, 09 Dec 2026 00:00:00 GMT"), CacheRule::kExpires, 0},
      // Last-Modified only: a tenth of its age at the fetch, without bound.
      {Served("", "", k300DaysBefore), CacheRule::kLastModified, 30 * kDay},
      {Served("", "", "Mon Nov 30 00:00:00 2026"), CacheRule::kLastModified, kDay},
      {Served("", "", k300DaysBefore, ""), CacheRule::kLastModified, 299 * kDay / 10},
      {Served("", "", "Thu, 10 Dec 2026 01:00:00 GMT"), CacheRule::kLastModified, 0},
      // Neither: WinINet asks once per process, and every run is a new one.
      {Served(), CacheRule::kNone, 0},
      {Served("", "", "yesterday"), CacheRule::kNone, 0},
  };
  for (const auto& c : cases) {
    const CacheLifetime lifetime = WindowsCacheLifetime(c.served, kFetchedAt);
    EXPECT_EQ(CacheRuleName(lifetime.rule), std::string(CacheRuleName(c.rule)))
        << c.served.Get("Cache-Control") << " | " << c.served.Get("Expires") << " | "
        << c.served.Get("Last-Modified");
    EXPECT_EQ(lifetime.seconds, c.seconds)
        << c.served.Get("Cache-Control") << " | " << c.served.Get("Expires") << " | "
        << c.served.Get("Last-Modified");
  }
}

TEST(ServedByCache, ACacheHitIsToldByItsOwnHeadersOrAnAge) {
  const struct {
    const char *age, *xCache, *lookup, *status, *cloudflare, *via;
    bool hit;
    std::optional<int64_t> ageSeconds;
  } cases[] = {
      // squid 5: a hit and a miss.
      {"7260", "HIT from proxy.test", "HIT from proxy.test:3128", "", "",
       "1.1 proxy.test (squid/5.7)", true, 7260},
      {"", "MISS from proxy.test", "MISS from proxy.test:3128", "", "",
       "1.1 proxy.test (squid/5.7)", false, std::nullopt},
      {"30", "Hit from cloudfront", "", "", "", "1.1 abc.cloudfront.net (CloudFront)", true, 30},
      {"", "TCP_MEM_HIT from a23-1-2-3", "", "", "", "", true, std::nullopt},
      {"120", "", "", "", "HIT", "", true, 120},
      {"", "", "", "", "DYNAMIC", "", false, std::nullopt},
      {"", "", "", "STALE", "", "", true, std::nullopt},
      // Age alone: 0 is a cache that just fetched from the server (Varnish on a miss).
      {"600", "", "", "", "", "", true, 600},
      {"0", "", "", "", "", "1.1 varnish", false, 0},
      {"", "", "", "", "", "1.1 proxy.test", false, std::nullopt},
      {"", "", "", "", "", "", false, std::nullopt},
  };
  for (const auto& c : cases) {
    ResponseHeaders headers;
    headers["Age"] = c.age;
    headers["X-Cache"] = c.xCache;
    headers["X-Cache-Lookup"] = c.lookup;
    headers["X-Cache-Status"] = c.status;
    headers["CF-Cache-Status"] = c.cloudflare;
    headers["Via"] = c.via;
    const CacheOnTheWay cache = ServedByCache(headers);
    EXPECT_EQ(cache.hit, c.hit) << c.xCache << c.status << c.cloudflare << c.age;
    EXPECT_EQ(cache.ageSeconds, c.ageSeconds) << c.age;
  }
  ResponseHeaders squid;
  squid["Age"] = "5";
  squid["X-Cache"] = "HIT from p";
  squid["Via"] = "1.1 p (squid/5.7)";
  EXPECT_EQ(ServedByCache(squid).evidence, "Age: 5, X-Cache: HIT from p, Via: 1.1 p (squid/5.7)");
}

TEST(ResponseFindings, NameTheCacheLifetimeACacheOnTheWayAndACompressedBody) {
  const struct {
    ResponseHeaders served;
    const char *age, *xCache, *encoding;
    std::vector<std::string> ids;
    const char* fragment;  // in the last warning's text
  } cases[] = {
      {Served("", "", "Fri, 13 Feb 2026 00:00:00 GMT"), "", "", "",
       {"windows-cache-lifetime"}, "for about 30 days (10 % of the 300 days"},
      {Served("max-age=3600"), "", "", "", {}, ""},
      {Served("max-age=3601"), "", "", "", {"windows-cache-lifetime"}, "for 1 hour (max-age)"},
      {Served("", "Sat, 12 Dec 2026 00:00:00 GMT"), "", "", "",
       {"windows-cache-lifetime"}, "for 2 days (Expires - Date)"},
      {Served("no-cache"), "7260", "HIT from proxy.test", "", {"served-by-cache"},
       "a copy 2 hours old (Age: 7260, X-Cache: HIT from proxy.test)"},
      {Served("no-cache"), "", "HIT from proxy.test", "", {"served-by-cache"}, "of unknown age"},
      {Served("no-cache"), "", "", "gzip", {"content-encoding"}, "Content-Encoding gzip: Falwick"},
      {Served("no-cache"), "", "", "Identity", {}, ""},
      {Served("", "", "Fri, 13 Feb 2026 00:00:00 GMT"), "60", "HIT", "br",
       {"windows-cache-lifetime", "served-by-cache", "content-encoding"}, "Encoding br"},
  };
  for (const auto& c : cases) {
    ResponseHeaders headers = c.served;
    headers["Age"] = c.age;
    headers["X-Cache"] = c.xCache;
    headers["Content-Encoding"] = c.encoding;
    const Findings warnings = ResponseFindings(headers, kFetchedAt);
    std::vector<std::string> ids;
    for (const Finding& warning : warnings) ids.push_back(warning.id);
    EXPECT_EQ(ids, c.ids) << c.served.Get("Cache-Control") << c.xCache << c.encoding;
    if (!warnings.empty()) {
      EXPECT_NE(warnings.back().text.find(c.fragment), std::string::npos)
          << warnings.back().text;
    }
  }
}

}  // namespace
