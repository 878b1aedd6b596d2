// The warnings that the headers of the final response decide on their own, for every
// command that saw a response (check URL, run): how long Windows' cache may answer
// without asking the server, an answer from a cache on the way, a compressed body.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/info/url_check/url_fetch.h"

struct FetchWarning {
  std::string id;  // stable: "http-not-https", "status-not-200", ...
  std::string text;
};

// Windows answering alone for longer than this is worth a warning; a release pipeline
// that wants another bound reads the figure from the JSON ("windows_cache").
inline constexpr int64_t kCacheLifetimeWarningSeconds = 3600;

// In this order, each when it applies:
//   "windows-cache-lifetime"  Windows' cache may answer alone for more than an hour
//                             (cache_lifetime.h), the time in the text;
//   "served-by-cache"         a cache on the way answered (served_by_cache.h), with the
//                             age of its copy and the headers that show it;
//   "content-encoding"        a Content-Encoding other than identity: Falwick stores the
//                             body as sent, compressed.
// `fetchedAt`: when the response arrived (UrlFetch::fetchedAt), for a response without
// Date.
std::vector<FetchWarning> ResponseWarnings(const ResponseHeaders& headers, int64_t fetchedAt);
