#include "tools/info/fetch/cache_on_the_way.h"

#include <string_view>

#include "tools/info/report/phrases.h"

namespace {

std::string Upper(std::string_view text) { return UpperPrefix(text, text.size()); }

// A CDN status word that means the answer is the cache's copy. REVALIDATED counts: the
// copy was confirmed with the server, but it is still the copy that was sent.
bool StatusIsHit(std::string_view status) {
  const std::string word = Upper(status);
  return word == "HIT" || word == "STALE" || word == "UPDATING" || word == "REVALIDATED";
}

// Age is delta-seconds; a list of them (two caches that each added one) takes the first,
// as HTTP caches do. Nothing for anything else.
std::optional<int64_t> AgeSeconds(std::string_view text) {
  size_t end = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == 0 || end > 12) return std::nullopt;
  return std::stoll(std::string(text.substr(0, end)));
}

}  // namespace

CacheOnTheWay ServedByCache(const ResponseHeaders& headers) {
  CacheOnTheWay cache;
  cache.ageSeconds = AgeSeconds(headers.age);
  cache.hit = Upper(headers.xCache).find("HIT") != std::string::npos ||
              StatusIsHit(headers.cfCacheStatus) || StatusIsHit(headers.xCacheStatus) ||
              cache.ageSeconds.value_or(0) > 0;
  const std::pair<const char*, const std::string*> shown[] = {
      {"Age", &headers.age},
      {"X-Cache", &headers.xCache},
      {"X-Cache-Lookup", &headers.xCacheLookup},
      {"X-Cache-Status", &headers.xCacheStatus},
      {"CF-Cache-Status", &headers.cfCacheStatus},
      {"Via", &headers.via}};
  for (const auto& [name, value] : shown) {
    if (value->empty()) continue;
    if (!cache.evidence.empty()) cache.evidence += ", ";
    cache.evidence += std::string(name) + ": " + *value;
  }
  return cache;
}
