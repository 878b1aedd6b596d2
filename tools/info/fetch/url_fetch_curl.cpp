// FetchUrl for the native build, with libcurl: for a maker's release pipeline, where
// the published file is checked from a build machine rather than a user's Windows.
#include <curl/curl.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "base/ascii_case.h"
#include "tools/info/fetch/url_fetch.h"
#include "tools/info/report/phrases.h"
#include "update/download.h"

namespace {

// A redirect loop is followed by Falwick's platform until the deadline; here the chain
// is cut after this many hops and reported, which is enough to show the loop.
constexpr int kMaxResponses = 30;

// The TLS 1.2 cipher suites Schannel enables by default on Windows 10 22H2 (Microsoft,
// "TLS Cipher Suites in Windows 10 v22H2"), in OpenSSL's names and Schannel's order:
// ECDHE with AES-GCM and AES-CBC, then RSA key exchange with AES and 3DES; no ChaCha20
// (Schannel has none for TLS 1.2) and no DHE (off by default). And the curves it offers
// ("TLS Elliptic Curves in Windows 10 1607 and later"): X25519, P-256, P-384.
constexpr const char* kWindows10Ciphers =
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-AES128-GCM-SHA256:"
    "ECDHE-RSA-AES256-GCM-SHA384:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-SHA384:ECDHE-ECDSA-AES128-SHA256:"
    "ECDHE-RSA-AES256-SHA384:ECDHE-RSA-AES128-SHA256:"
    "ECDHE-ECDSA-AES256-SHA:ECDHE-ECDSA-AES128-SHA:ECDHE-RSA-AES256-SHA:ECDHE-RSA-AES128-SHA:"
    "AES256-GCM-SHA384:AES128-GCM-SHA256:AES256-SHA256:AES128-SHA256:AES256-SHA:AES128-SHA:"
    "DES-CBC3-SHA";
constexpr const char* kWindows10Curves = "X25519:P-256:P-384";

struct Transfer {
  CURL* curl = nullptr;
  UrlFetch* fetch = nullptr;  // its last response is the one under way
};

size_t OnHeader(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  const std::string line(data, size * count);
  ResponseHeaders& headers = transfer.fetch->responses.back().headers;
  if (line.rfind("HTTP/", 0) == 0) {
    headers = ResponseHeaders{};  // a new response (after "100 Continue", say)
    if (transfer.fetch->tlsVersion.empty()) {
      curl_tlssessioninfo* session = nullptr;
      if (curl_easy_getinfo(transfer.curl, CURLINFO_TLS_SSL_PTR, &session) == CURLE_OK &&
          session != nullptr && session->backend == CURLSSLBACKEND_OPENSSL &&
          session->internals != nullptr) {
        transfer.fetch->tlsVersion = SSL_get_version(static_cast<SSL*>(session->internals));
      }
    }
    return size * count;
  }
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return size * count;
  const std::string value(TrimWhiteSpace(std::string_view(line).substr(colon + 1)));
  for (const ResponseHeaderName& header : kResponseHeaders) {
    if (!EqualsIgnoringAsciiCase(std::string_view(line).substr(0, colon), header.name)) continue;
    std::string& field = headers[header.name];
    field = field.empty() ? value : field + ", " + value;
  }
  return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  auto& fetch = *static_cast<UrlFetch*>(context);
  const size_t bytes = size * count;
  const size_t room = DownloadUpdateInfo::kMaxStoredBytes - fetch.body.size();
  if (bytes > room) {
    fetch.body.append(data, room);
    fetch.bodyCut = true;
    return 0;  // ends the transfer, as Falwick stops storing
  }
  fetch.body.append(data, bytes);
  return bytes;
}

bool IsHttps(const std::string& url) { return url.rfind("https:", 0) == 0; }

// The proxy variable libcurl takes for `url`'s scheme, in the order it looks for them.
std::string ProxyFromEnvironment(const std::string& url) {
  const bool https = IsHttps(url);
  const char* names[] = {https ? "https_proxy" : "http_proxy", https ? "HTTPS_PROXY" : "",
                         "all_proxy", "ALL_PROXY"};
  for (const char* name : names) {
    const char* value = *name != '\0' ? std::getenv(name) : nullptr;
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string CurlCodeName(CURLcode code) {
#define NAMED(code) {code, #code}
  static const std::pair<CURLcode, const char*> kNames[] = {
      NAMED(CURLE_UNSUPPORTED_PROTOCOL), NAMED(CURLE_URL_MALFORMAT),
      NAMED(CURLE_COULDNT_RESOLVE_PROXY), NAMED(CURLE_COULDNT_RESOLVE_HOST),
      NAMED(CURLE_COULDNT_CONNECT), NAMED(CURLE_OPERATION_TIMEDOUT),
      NAMED(CURLE_SSL_CONNECT_ERROR), NAMED(CURLE_GOT_NOTHING), NAMED(CURLE_RECV_ERROR),
      NAMED(CURLE_PEER_FAILED_VERIFICATION), NAMED(CURLE_SSL_CACERT_BADFILE)};
#undef NAMED
  for (const auto& [known, name] : kNames) {
    if (known == code) return name;
  }
  return "CURLE_" + std::to_string(static_cast<int>(code));
}

// `curl` made ready for a request of `url` with Falwick's agent string, within `timeoutMs`.
void Prepare(CURL* curl, const std::string& url, long timeoutMs, const std::string& caFile) {
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, DownloadUpdateInfo::kAgent);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  if (!caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
}

// Whether `url` completes a TLS 1.2 handshake (and a HEAD request) offering only what
// Windows 10's Schannel offers by default: TLS 1.2 at most, its cipher suites and curves.
bool AcceptsWindows10Tls(CURL* curl, const std::string& url, const std::string& caFile) {
  Prepare(curl, url, 10000L, caFile);
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl, CURLOPT_SSLVERSION,
                   static_cast<long>(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_2));
  curl_easy_setopt(curl, CURLOPT_SSL_CIPHER_LIST, kWindows10Ciphers);
  curl_easy_setopt(curl, CURLOPT_SSL_EC_CURVES, kWindows10Curves);
  return curl_easy_perform(curl) == CURLE_OK;
}

}  // namespace

UrlFetch FetchUrl(const std::string& url, const std::string& caFile) {
  UrlFetch fetch;
  fetch.url = url;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    fetch.error = CURLE_FAILED_INIT;
    fetch.errorName = "CURLE_FAILED_INIT";
    fetch.errorText = curl_easy_strerror(CURLE_FAILED_INIT);
    return fetch;
  }
  const auto start = std::chrono::steady_clock::now();
  const long deadlineMs = DownloadUpdateInfo::kFetchDeadlineMs;
  Transfer transfer{curl, &fetch};
  std::string next = url;
  while (!next.empty() && static_cast<int>(fetch.responses.size()) < kMaxResponses) {
    fetch.responses.push_back(FetchedResponse{next, 0, {}});
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    Prepare(curl, next, std::max(1L, deadlineMs - static_cast<long>(elapsed.count())), caFile);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fetch);
    // The body as sent, as WinINet hands it to Falwick: no CURLOPT_ACCEPT_ENCODING, so no
    // Accept-Encoding header is sent, and no decoding of a Content-Encoding the server
    // applied unasked (libcurl decodes only with ACCEPT_ENCODING set; said here so that it
    // stays so). Chunked transfer coding is still undone, as WinINet undoes it.
    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // Only the final response's body is Falwick's; the bodies of redirects are dropped.
    fetch.body.clear();
    fetch.bodyCut = false;

    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    fetch.responses.back().status = status;
    if (IsHttps(next) && result != CURLE_COULDNT_CONNECT &&
        result != CURLE_COULDNT_RESOLVE_HOST && result != CURLE_OPERATION_TIMEDOUT) {
      fetch.certificateVerified = result != CURLE_PEER_FAILED_VERIFICATION &&
                                  result != CURLE_SSL_CACERT_BADFILE && status != 0;
    }
    fetch.proxy = ProxyFromEnvironment(next);

    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && fetch.bodyCut)) {
      fetch.error = result;
      fetch.errorName = CurlCodeName(result);
      fetch.errorText = curl_easy_strerror(result);
      if (result == CURLE_OPERATION_TIMEDOUT) fetch.deadlinePassed = true;
    }
    if (status == 0) break;  // nothing answered: the URL could not be opened
    fetch.opened = true;
    fetch.fetchedAt = static_cast<int64_t>(std::time(nullptr));
    if (!fetch.error && status >= 300 && status < 400 && status != 308) {
      char* location = nullptr;
      curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
      next = location != nullptr ? location : "";
    } else {
      next.clear();
    }
  }
  fetch.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const FetchedResponse* final = fetch.Final();
  // Whatever TLS this fetch agreed on, with OpenSSL's offer: Windows offers less.
  if (fetch.opened && final != nullptr && fetch.tlsVersion.rfind("TLSv1.", 0) == 0) {
    fetch.tls12Accepted = AcceptsWindows10Tls(curl, final->url, caFile);
  }
  curl_easy_cleanup(curl);
  return fetch;
}
