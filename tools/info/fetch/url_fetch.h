// One fetch of a published update-information file, as the maker's tool reports it:
// every response on the way (redirects included), the headers that decide how caches
// treat the file, the TLS outcome for https, and the body, bounded as Falwick bounds it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The headers kept of each response, in the order the reports show them. `always`: the
// text report shows it as "none" when absent (the others only when sent). Sent names
// compare without regard to case.
struct ResponseHeaderName {
  const char* name;
  bool always;
};
inline constexpr ResponseHeaderName kResponseHeaders[] = {
    {"Content-Type", true}, {"Content-Length", true}, {"Content-Encoding", true},
    {"Cache-Control", true}, {"Expires", true}, {"Pragma", false}, {"Date", false},
    {"ETag", true}, {"Last-Modified", true}, {"Age", false}, {"Via", false},
    {"X-Cache", false},          // squid, Varnish, CloudFront, Fastly, Akamai: "HIT from ..."
    {"X-Cache-Lookup", false},   // squid: whether it held a copy at all
    {"X-Cache-Status", false},   // nginx's proxy_cache as commonly exposed
    {"CF-Cache-Status", false},  // Cloudflare
    {"Location", false}};

// A response's values of those headers, by their names as above; a header sent on several
// lines is one comma-separated list.
struct ResponseHeaders : std::map<std::string, std::string> {
  const std::string& Get(const std::string& name) const {  // empty when not sent
    static const std::string kNone;
    const auto found = find(name);
    return found == end() ? kNone : found->second;
  }
};

struct FetchedResponse {
  std::string url;  // the URL this response answered
  long status = 0;  // the HTTP status, 0 when none arrived
  ResponseHeaders headers;
};

struct UrlFetch {
  std::string url;  // as asked for
  // True when the URL could be opened: some HTTP response arrived. Falwick then reads
  // whatever body came, an error page included.
  bool opened = false;
  // Why it could not be opened (or why the body stopped early): the platform's error
  // number (a WinINet error on Windows, a libcurl code natively), its name and text.
  long error = 0;
  std::string errorName;
  std::string errorText;
  std::string errorFix;  // what to do about it, where that is known

  std::vector<FetchedResponse> responses;  // in order; the last one is final
  std::string tlsVersion;                  // for https: "TLSv1.2", ...
  std::optional<bool> certificateVerified;  // for https: whether the chain was trusted
  // For https: whether the server completes a TLS 1.2 handshake offering only what
  // Windows 10 22H2's Schannel offers by default, as WinINet there does
  // (url_fetch_curl.cpp). Unknown on Windows, whose own fetch is the test.
  std::optional<bool> tls12Accepted;
  std::optional<bool> fromCache;           // answered from the system's cache (Windows)
  std::string proxy;                       // the proxy the request went through, if any

  std::string body;           // at most DownloadUpdateInfo::kMaxStoredBytes
  bool bodyCut = false;       // more was sent than is stored
  bool deadlinePassed = false;  // the fetch was abandoned at the deadline
  double seconds = 0;           // from the request to the end of the body
  // When the final response arrived, by this machine's clock (seconds since 1970, UTC;
  // 0 when unknown): the cache rules count from it when the server sent no Date.
  int64_t fetchedAt = 0;

  const FetchedResponse* Final() const {
    return responses.empty() ? nullptr : &responses.back();
  }
};

// What the connectivity test and the Internet handle showed (Windows).
struct ConnectionSeen {
  bool stateResult = false;  // InternetGetConnectedState's result
  uint32_t flags = 0;
  bool handleAsked = false;
  bool handleOpened = false;
  long handleError = 0;
  uint32_t proxyAccessType = 0;  // of INTERNET_OPTION_PROXY: 1 direct, 3 a named proxy
  std::string proxyServer;
  std::string proxyBypass;
};

// Fetches `url` with Falwick's agent string and bounds (16 MiB stored, 60 s in all),
// following redirects as Falwick's platform does. `caFile`: trusted roots for https
// instead of the system's (the native build; empty: the system's).
UrlFetch FetchUrl(const std::string& url, const std::string& caFile);
