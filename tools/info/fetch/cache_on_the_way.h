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

struct CacheOnTheWay {
  bool hit = false;
  std::optional<int64_t> ageSeconds;  // from Age, when the cache sent it
  // The headers that show the cache, as "Name: value" joined with ", " (Age, X-Cache,
  // X-Cache-Lookup, X-Cache-Status, CF-Cache-Status, Via: those present).
  std::string evidence;
};

CacheOnTheWay ServedByCache(const ResponseHeaders& headers);
