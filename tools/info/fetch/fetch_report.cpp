#include "tools/info/fetch/fetch_report.h"

#include <cstdio>
#include <utility>

#include "tools/info/fetch/caches.h"
#include "base/ascii_case.h"
#include "tools/info/report/phrases.h"
#include "update/download.h"

namespace {

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix) {
  return EqualsIgnoringAsciiCase(std::string_view(text).substr(0, prefix.size()), prefix);
}

std::string OrNone(const std::string& value) { return value.empty() ? "none" : value; }

std::string Seconds(double seconds) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

constexpr const char* kCacheFix =
    "serve the file with \"Cache-Control: no-cache\" or a short max-age";

// "2 hours old", "of unknown age": how old the copy was that a cache on the way sent.
std::string CopyAge(const CacheOnTheWay& cache) {
  return cache.ageSeconds ? FormatDuration(*cache.ageSeconds) + " old" : "of unknown age";
}

}  // namespace

Findings ResponseFindings(const ResponseHeaders& headers, int64_t fetchedAt) {
  Findings found;
  const CacheLifetime lifetime = WindowsCacheLifetime(headers, fetchedAt);
  if (lifetime.seconds > kCacheLifetimeWarningSeconds) {
    found.Add("windows-cache-lifetime", Severity::kWarning,
              "Windows may answer from its own cache for " + DescribeCacheLifetime(lifetime) +
                  " without asking the server: a user who fetched the file before a release "
                  "is told of the old one until then",
              kCacheFix);
  }
  const CacheOnTheWay cache = ServedByCache(headers);
  if (cache.hit) {
    found.Add("served-by-cache", Severity::kWarning,
              "the answer came from a cache on the way (a proxy or a CDN edge), not from the "
              "server: a copy " + CopyAge(cache) + " (" + cache.evidence +
                  "); users behind that cache are told of what it holds until its copy "
                  "expires there, whatever the server now publishes");
  }
  const std::string& encoding = headers.Get("Content-Encoding");
  if (!encoding.empty() && !StartsWithIgnoringCase(encoding + ",", "identity,")) {
    found.Add("content-encoding", Severity::kError,
              "the server sends the body with Content-Encoding " + encoding +
                  ": Falwick stores the bytes as sent (Windows decodes nothing for it), and "
                  "compressed bytes hold no VERSION, so nothing is ever announced",
              "serve the file uncompressed");
  }
  return found;
}

Findings FetchFindings(const UrlFetch& fetch) {
  Findings found;
  const FetchedResponse* final = fetch.Final();
  const std::string& finalUrl = final != nullptr ? final->url : fetch.url;
  if (StartsWithIgnoringCase(fetch.url, "http:") || StartsWithIgnoringCase(finalUrl, "http:")) {
    found.Add("http-not-https", Severity::kWarning,
              "the info file travels over plain http: anyone on the way (a public network, a "
              "proxy) can change what the notice says or make it announce a version that "
              "does not exist",
              "publish it over https");
  }
  if (!fetch.opened || final == nullptr) {
    found.Add("url-not-opened", Severity::kError,
              "the URL could not be opened: " + fetch.errorName +
                  (fetch.error != 0 ? " (" + std::to_string(fetch.error) + ")" : "") + ": " +
                  fetch.errorText,
              fetch.errorFix);
    return found;
  }
  if (final->status != 200) {
    found.Add("status-not-200", Severity::kError,
              "the server answered " + std::to_string(final->status) +
                  ", not 200: Falwick reads the body all the same, so an error page or a "
                  "captive portal announces nothing, or whatever version the page happens "
                  "to hold",
              "publish the file at this URL");
  }
  const std::string& type = final->headers.Get("Content-Type");
  if (StartsWithIgnoringCase(type, "text/html")) {
    found.Add("html-body", Severity::kWarning,
              "the server sends an HTML page (Content-Type " + type +
                  "), not the plain key=value file Falwick reads");
  }
  if (final->headers.Get("Cache-Control").empty() && final->headers.Get("Expires").empty()) {
    found.Add("no-cache-headers", Severity::kWarning,
              "neither Cache-Control nor Expires: Windows (from Last-Modified), proxies and "
              "CDN edges (by rules of their own) then decide alone how long to answer from "
              "their caches after a new file is published, so users see a release late",
              kCacheFix);
  }
  found.Append(ResponseFindings(final->headers, fetch.fetchedAt));
  if (fetch.tls12Accepted == false) {
    const bool tls13 = fetch.tlsVersion > "TLSv1.2";  // "TLSv1.3" and later sort after it
    found.Add("tls12-refused", Severity::kError,
              "the server refuses TLS 1.2 with the cipher suites Windows 10's Schannel offers "
              "(ECDHE or RSA key exchange with AES; it has no ChaCha20, and DHE is off by "
              "default): Falwick cannot fetch the file on Windows 10, 8.1 and 7 or Windows "
              "Server 2019 and older (error 12157)" +
                  std::string(tls13 ? "; Windows 11 and Server 2022 fetch it over TLS 1.3"
                                    : ", nor on Windows 11 and Server 2022, which speak the "
                                      "same TLS 1.2"),
              "enable TLS 1.2 on the server with ECDHE and AES-GCM "
              "(ECDHE-RSA-AES128-GCM-SHA256, say)");
  }
  if (fetch.fromCache.value_or(false)) {
    found.Add("from-cache", Severity::kWarning,
              "the answer came from the Windows cache, not from the server: a file published "
              "since then is not seen yet");
  }
  if (fetch.bodyCut) {
    found.Add("body-cut", Severity::kWarning,
              "the server sent more than " +
                  std::to_string(DownloadUpdateInfo::kMaxStoredBytes) +
                  " bytes: Falwick stores and reads only the first ones");
  }
  if (fetch.deadlinePassed) {
    found.Add("deadline-passed", Severity::kError,
              "the fetch took longer than " +
                  std::to_string(DownloadUpdateInfo::kFetchDeadlineMs / 1000) +
                  " s: Falwick gives up then and reads what arrived by that time");
  }
  return found;
}

std::string DescribeConnectionFlags(uint32_t flags) {
  static const std::pair<uint32_t, const char*> kNames[] = {
      {0x01, "modem"},         {0x02, "LAN"},      {0x04, "proxy"},     {0x08, "modem busy"},
      {0x10, "RAS installed"}, {0x20, "off line"}, {0x40, "configured"}};
  std::string names;
  for (const auto& [bit, name] : kNames) {
    if ((flags & bit) != 0) names += (names.empty() ? "" : ", ") + std::string(name);
  }
  return names.empty() ? "none" : names;
}

std::string OffLineCause(ConnectResult result, uint32_t flags) {
  const std::string seen = "flags " + Hex(flags) + ": " + DescribeConnectionFlags(flags);
  switch (result) {
    case ConnectResult::kTestTimedOut:
      return "the connectivity test (InternetGetConnectedState) did not answer within the " +
             std::to_string(DownloadUpdateInfo::kFetchDeadlineMs / 1000) +
             " s network deadline, which counts as off line";
    case ConnectResult::kNoModemOrLan:
      return "Windows reports neither a modem nor a LAN connection (" + seen + ")" +
             ((flags & kConnectionProxy) != 0
                  ? "; a proxy connection alone does not count as on line"
                  : "");
    case ConnectResult::kOnLine:
    case ConnectResult::kNotConnected:
    case ConnectResult::kNoInternetHandle: break;
  }
  return "Windows reports the machine off line (" + seen + ")";
}

void AddFetch(Fact& report, const UrlFetch& fetch) {
  const FetchedResponse* final = fetch.opened ? fetch.Final() : nullptr;
  Fact& out = report.Add("fetch", Fact::Object());
  out.Add("url", Fact::String(fetch.url)).Row("URL", fetch.url);
  Fact& responses = out.Add("responses", Fact::Array());
  for (size_t i = 0; i < fetch.responses.size(); ++i) {
    const FetchedResponse& response = fetch.responses[i];
    Fact& item = responses.Add("", Fact::Object());
    item.Add("url", Fact::String(response.url));
    item.Add("status", Fact::Integer(response.status));
    const std::string& location = response.headers.Get("Location");
    if (!location.empty()) item.Add("location", Fact::String(location));
    if (i + 1 < fetch.responses.size()) {
      item.Row("Redirect", std::to_string(response.status) + " from " + response.url + " to " +
                               OrNone(location));
    }
  }
  out.Add("proxy", Fact::OptionalString(fetch.proxy))
      .Row("Proxy", fetch.proxy.empty() ? "none (direct)" : fetch.proxy);
  out.Add("opened", Fact::Bool(fetch.opened))
      .RowIf(final == nullptr, "Opened", "no: the URL could not be opened");
  const bool moved = final != nullptr && (fetch.responses.size() > 1 || final->url != fetch.url);
  out.Add("final_url", final != nullptr ? Fact::String(final->url) : Fact())
      .RowIf(moved, "Final URL", moved ? final->url : "");
  Fact& status = out.Add("status", final != nullptr ? Fact::Integer(final->status) : Fact());
  Fact headers = Fact::Object();
  Fact windowsCache;
  Fact cacheOnTheWay;
  if (final != nullptr) {
    status.Row("Status", std::to_string(final->status));
    for (const ResponseHeaderName& header : kResponseHeaders) {
      if (header.name == std::string("Location")) continue;  // in "responses"
      const std::string& value = final->headers.Get(header.name);
      headers.Add(header.name, Fact::OptionalString(value))
          .RowIf(!value.empty() || header.always, header.name, OrNone(value));
    }
    const CacheLifetime lifetime = WindowsCacheLifetime(final->headers, fetch.fetchedAt);
    windowsCache = Fact::Object();
    windowsCache.Add("rule", Fact::String(CacheRuleName(lifetime.rule)));
    windowsCache.Add("fresh_seconds", Fact::Integer(lifetime.seconds));
    windowsCache.Add("text", Fact::String(DescribeCacheLifetime(lifetime)));
    windowsCache.Row("Windows cache", (lifetime.seconds > 0 ? "answers alone for " : "") +
                                          DescribeCacheLifetime(lifetime));
    const CacheOnTheWay cache = ServedByCache(final->headers);
    if (cache.hit) {
      cacheOnTheWay = Fact::Object();
      cacheOnTheWay.Add("age_seconds", Fact::OptionalInteger(cache.ageSeconds));
      cacheOnTheWay.Add("evidence", Fact::String(cache.evidence));
      cacheOnTheWay.Row("Cache on the way", "answered with its copy, " + CopyAge(cache));
    }
  }
  out.Add("headers", std::move(headers));
  out.Add("windows_cache", std::move(windowsCache));
  out.Add("cache_on_the_way", std::move(cacheOnTheWay));
  Fact& tls = out.Add("tls_version", Fact::OptionalString(fetch.tlsVersion));
  if (!fetch.tlsVersion.empty() || fetch.certificateVerified.has_value()) {
    std::string row = fetch.tlsVersion.empty() ? "https" : fetch.tlsVersion;
    if (fetch.certificateVerified.has_value()) {
      row += *fetch.certificateVerified ? ", certificate verified" : ", certificate NOT trusted";
    }
    if (fetch.tls12Accepted.has_value()) {
      row += *fetch.tls12Accepted ? ", Windows 10's TLS 1.2 accepted too"
                                  : ", Windows 10's TLS 1.2 refused";
    }
    tls.Row("TLS", row);
  }
  out.Add("certificate_verified", Fact::OptionalBool(fetch.certificateVerified));
  out.Add("tls12_accepted", Fact::OptionalBool(fetch.tls12Accepted));
  out.Add("from_cache", Fact::Bool(fetch.fromCache.value_or(false)))
      .RowIf(fetch.fromCache.has_value(), "From cache", fetch.fromCache.value_or(false) ? "yes" : "no");
  out.Add("bytes", Fact::Integer(static_cast<int64_t>(fetch.body.size())))
      .RowIf(fetch.opened, "Body",
             std::to_string(fetch.body.size()) + " bytes" +
               (fetch.bodyCut ? " (cut: more was sent)" : "") + " in " + Seconds(fetch.seconds));
  out.Add("body_cut", Fact::Bool(fetch.bodyCut));
  out.Add("seconds", Fact::Number(fetch.seconds));
  const bool failed = fetch.error != 0;
  out.Add("error", failed ? Fact::Integer(fetch.error) : Fact())
      .RowIf(failed, "Error", fetch.errorName + " (" + std::to_string(fetch.error) +
                                      "): " + fetch.errorText);
  out.Add("error_name", failed ? Fact::String(fetch.errorName) : Fact());
  out.Add("error_text", failed ? Fact::String(fetch.errorText) : Fact());
}
