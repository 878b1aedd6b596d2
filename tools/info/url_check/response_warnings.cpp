#include "tools/info/url_check/response_warnings.h"

#include <cctype>

#include "tools/info/url_check/cache_lifetime.h"
#include "tools/info/url_check/served_by_cache.h"

std::vector<FetchWarning> ResponseWarnings(const ResponseHeaders& headers, int64_t fetchedAt) {
  std::vector<FetchWarning> warnings;
  const CacheLifetime lifetime = WindowsCacheLifetime(headers, fetchedAt);
  if (lifetime.seconds > kCacheLifetimeWarningSeconds) {
    warnings.push_back({"windows-cache-lifetime",
                        "Windows may answer from its own cache for " +
                            DescribeCacheLifetime(lifetime) +
                            " without asking the server: a user who fetched the file before a "
                            "release is told of the old one until then; serve it with "
                            "\"Cache-Control: no-cache\" or a short max-age"});
  }
  const CacheOnTheWay cache = ServedByCache(headers);
  if (cache.hit) {
    const std::string age = cache.ageSeconds ? "a copy " + FormatDuration(*cache.ageSeconds) +
                                                   " old"
                                             : "a copy of unknown age";
    warnings.push_back({"served-by-cache",
                        "the answer came from a cache on the way (a proxy or a CDN edge), "
                        "not from the server: " + age + " (" + cache.evidence +
                            "); users behind that cache are told of what it holds until its "
                            "copy expires there, whatever the server now publishes"});
  }
  const std::string& encoding = headers.contentEncoding;
  std::string lower;
  for (const char c : encoding) {
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!encoding.empty() && lower != "identity") {
    warnings.push_back({"content-encoding",
                        "the server sends the body with Content-Encoding " + encoding +
                            ": Falwick stores the bytes as sent (Windows decodes nothing for "
                            "it), and compressed bytes hold no VERSION, so nothing is ever "
                            "announced; serve the file uncompressed"});
  }
  return warnings;
}
