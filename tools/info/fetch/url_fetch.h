// One fetch of a published update-information file, as the maker's tool reports it:
// every response on the way (redirects included), the headers that decide how caches
// treat the file, the TLS outcome for https, and the body, bounded as Falwick bounds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The headers of one response that matter to a published info file (empty: absent).
struct ResponseHeaders {
  std::string contentType;
  std::string contentLength;
  std::string cacheControl;
  std::string expires;
  std::string etag;
  std::string lastModified;
  std::string location;
  std::string contentEncoding;
  // What decides how long a cache may answer alone (caches.h).
  std::string date;
  std::string pragma;
  // What a cache on the way adds to the copy it answers with (caches.h).
  std::string age;
  std::string via;
  std::string xCache;        // squid, Varnish, CloudFront, Fastly, Akamai: "HIT from ..."
  std::string xCacheLookup;  // squid: whether it held a copy at all
  std::string xCacheStatus;  // nginx's proxy_cache as commonly exposed
  std::string cfCacheStatus; // Cloudflare
};

// Each header above with its name, in the order the reports show them. `always`: the
// text report shows it as "none" when absent (the others only when sent). Names compare
// without regard to case.
struct NamedHeader {
  const char* name;
  std::string ResponseHeaders::*field;
  bool always;
};
inline const NamedHeader kKnownResponseHeaders[] = {
    {"Content-Type", &ResponseHeaders::contentType, true},
    {"Content-Length", &ResponseHeaders::contentLength, true},
    {"Content-Encoding", &ResponseHeaders::contentEncoding, true},
    {"Cache-Control", &ResponseHeaders::cacheControl, true},
    {"Expires", &ResponseHeaders::expires, true},
    {"Pragma", &ResponseHeaders::pragma, false},
    {"Date", &ResponseHeaders::date, false},
    {"ETag", &ResponseHeaders::etag, true},
    {"Last-Modified", &ResponseHeaders::lastModified, true},
    {"Age", &ResponseHeaders::age, false},
    {"Via", &ResponseHeaders::via, false},
    {"X-Cache", &ResponseHeaders::xCache, false},
    {"X-Cache-Lookup", &ResponseHeaders::xCacheLookup, false},
    {"X-Cache-Status", &ResponseHeaders::xCacheStatus, false},
    {"CF-Cache-Status", &ResponseHeaders::cfCacheStatus, false},
    {"Location", &ResponseHeaders::location, false},
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
  // Windows 10 22H2's Schannel offers by default (kWindows10Ciphers), as WinINet there
  // does. Unknown on Windows, whose own fetch is the test.
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

// The TLS 1.2 cipher suites Schannel enables by default on Windows 10 22H2 (Microsoft,
// "TLS Cipher Suites in Windows 10 v22H2"), in OpenSSL's names and Schannel's order:
// ECDHE with AES-GCM and AES-CBC, then RSA key exchange with AES and 3DES; no ChaCha20
// (Schannel has none for TLS 1.2) and no DHE (off by default). And the curves it offers
// ("TLS Elliptic Curves in Windows 10 1607 and later"): X25519, P-256, P-384.
inline constexpr const char* kWindows10Ciphers =
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-AES128-GCM-SHA256:"
    "ECDHE-RSA-AES256-GCM-SHA384:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-SHA384:ECDHE-ECDSA-AES128-SHA256:"
    "ECDHE-RSA-AES256-SHA384:ECDHE-RSA-AES128-SHA256:"
    "ECDHE-ECDSA-AES256-SHA:ECDHE-ECDSA-AES128-SHA:ECDHE-RSA-AES256-SHA:ECDHE-RSA-AES128-SHA:"
    "AES256-GCM-SHA384:AES128-GCM-SHA256:AES256-SHA256:AES128-SHA256:AES256-SHA:AES128-SHA:"
    "DES-CBC3-SHA";
inline constexpr const char* kWindows10Curves = "X25519:P-256:P-384";

// Fetches `url` with Falwick's agent string and bounds (16 MiB stored, 60 s in all),
// following redirects as Falwick's platform does. `caFile`: trusted roots for https
// instead of the system's (the native build; empty: the system's).
UrlFetch FetchUrl(const std::string& url, const std::string& caFile);
