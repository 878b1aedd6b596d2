// How caches treat the published file: how long Windows' own Internet cache may hand
// Falwick the info file it stored, without asking the server, after a fetch that got
// these response headers; and whether a cache on the way answered.
//
// Falwick's download (WinINet, no reload flag) is answered from the user's cache while the
// stored entry is fresh; only a stale entry makes WinINet ask the server (If-Modified-Since
// / If-None-Match, a 304 keeps the stored body). The figure below is that freshness from
// the moment of the fetch, for a private (per-user) cache under the default setting
// "Check for newer versions of stored pages: Automatically", decided in this order:
//   1. Cache-Control: no-store -> 0: nothing is stored.
//   2. no-cache (also no-cache="..."), or Pragma: no-cache without any Cache-Control -> 0:
//      WinINet treats it like no-store.
//   3. max-age=N -> N seconds (0, or a value that is not a number: stale at once).
//   4. Expires -> Expires - Date (the server's clock on both sides), or Expires - the
//      fetch's time without a Date; an Expires that is no date ("0", "-1") or past: 0.
//   5. Last-Modified (heuristic) -> 10 % of (Date - Last-Modified), Date again falling
//      back to the fetch's time; no upper bound; a Last-Modified not before Date: 0.
//   6. none of these -> 0: WinINet checks once per session, and every run is a process.
// Not part of the figure: s-maxage and proxy-revalidate (for shared caches: proxies and
// CDN edges, not WinINet), must-revalidate, public and private (what a cache does once
// the entry is stale, or who may store it), and Age (how long a proxy held its copy).
// Age is left out because whether WinINet deducts it is not documented; the larger figure
// is the safe one for a release pipeline to fail on.
//
// Whether an answer came from a cache on the way between the server and this machine (a
// caching proxy such as squid, a CDN's edge) rather than from the server itself, and how
// old that cache's copy was. Users behind such a cache get its copy until it expires
// there, whatever the server now publishes.
//
// A cache answered with a stored copy when:
//   - X-Cache (squid, Varnish, CloudFront, Fastly, Akamai, Azure) holds "HIT" in any
//     case: "HIT from proxy", "TCP_MEM_HIT", "Hit from cloudfront", "HIT, HIT";
//   - CF-Cache-Status (Cloudflare) or X-Cache-Status (nginx) is HIT, STALE, UPDATING or
//     REVALIDATED;
//   - or Age is more than 0: only a cache sends it, counting how long it held the copy.
// Via and X-Cache-Lookup alone say that a proxy or a cache was on the way, not that it
// answered; they are shown as evidence with a hit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/info/fetch/url_fetch.h"

enum class CacheRule { kNoStore, kNoCache, kMaxAge, kExpires, kLastModified, kNone };

struct CacheLifetime {
  CacheRule rule = CacheRule::kNone;
  int64_t seconds = 0;  // 0: Windows asks the server on every run of Falwick
  // For kLastModified: how long the file had been unchanged when fetched.
  int64_t unchangedSeconds = 0;
};

// `fetchedAt`: when the response arrived, in seconds since 1970 (UTC), used when the
// response has no usable Date.
CacheLifetime WindowsCacheLifetime(const ResponseHeaders& headers, int64_t fetchedAt);

// The rule's stable name: "no-store", "no-cache", "max-age", "expires", "last-modified",
// "none".
const char* CacheRuleName(CacheRule rule);

// "about 30 days (10 % of the 300 days since Last-Modified)", "5 minutes (max-age)",
// "none: ... asks the server on every run".
std::string DescribeCacheLifetime(const CacheLifetime& lifetime);

// "45 seconds", "5 minutes", "3 hours", "30 days": the largest unit that fits, rounded
// down.
std::string FormatDuration(int64_t seconds);

struct CacheOnTheWay {
  bool hit = false;
  std::optional<int64_t> ageSeconds;  // from Age, when the cache sent it
  // The headers that show the cache, as "Name: value" joined with ", " (Age, X-Cache,
  // X-Cache-Lookup, X-Cache-Status, CF-Cache-Status, Via: those present).
  std::string evidence;
};

CacheOnTheWay ServedByCache(const ResponseHeaders& headers);
