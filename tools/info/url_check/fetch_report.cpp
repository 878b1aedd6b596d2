#include "tools/info/url_check/fetch_report.h"

#include <cctype>
#include <cstdio>

#include "tools/info/common/show_text.h"
#include "tools/info/url_check/cache_lifetime.h"
#include "tools/info/url_check/served_by_cache.h"
#include "update/download.h"

namespace {

bool StartsWithIgnoringCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= text.size() ||
        std::tolower(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(prefix[i])) {
      return false;
    }
  }
  return true;
}

std::string OrNone(const std::string& value) { return value.empty() ? "none" : value; }

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

}  // namespace

const std::vector<NamedHeader>& KnownResponseHeaders() {
  static const std::vector<NamedHeader> kHeaders = {
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
  return kHeaders;
}

std::vector<FetchWarning> FetchWarnings(const UrlFetch& fetch) {
  std::vector<FetchWarning> warnings;
  const FetchedResponse* final = fetch.Final();
  const std::string& finalUrl = final != nullptr ? final->url : fetch.url;
  if (StartsWithIgnoringCase(fetch.url, "http:") || StartsWithIgnoringCase(finalUrl, "http:")) {
    warnings.push_back({"http-not-https",
                        "the info file travels over plain http: anyone on the way (a public "
                        "network, a proxy) can change what the notice says or make it "
                        "announce a version that does not exist; publish it over https"});
  }
  if (!fetch.opened || final == nullptr) return warnings;
  if (final->status != 200) {
    warnings.push_back({"status-not-200",
                        "the server answered " + std::to_string(final->status) +
                            ", not 200: Falwick reads the body all the same, so an error page "
                            "or a captive portal announces nothing, or whatever version the "
                            "page happens to hold"});
  }
  if (StartsWithIgnoringCase(final->headers.contentType, "text/html")) {
    warnings.push_back({"html-body",
                        "the server sends an HTML page (Content-Type " +
                            final->headers.contentType +
                            "), not the plain key=value file Falwick reads"});
  }
  if (final->headers.cacheControl.empty() && final->headers.expires.empty()) {
    warnings.push_back({"no-cache-headers",
                        "neither Cache-Control nor Expires: Windows (from Last-Modified), "
                        "proxies and CDN edges (by rules of their own) then decide alone how "
                        "long to answer from their caches after a new file is published, so "
                        "users see a release late; serve the file with \"Cache-Control: "
                        "no-cache\" or a short max-age"});
  }
  for (FetchWarning& warning : ResponseWarnings(final->headers, fetch.fetchedAt)) {
    warnings.push_back(std::move(warning));
  }
  if (fetch.tls12Accepted == false) {
    warnings.push_back({"tls12-refused",
                        "the server accepts only TLS newer than 1.2: Windows 10's WinINet "
                        "offers TLS 1.2 at most, so Falwick cannot fetch the file there; "
                        "enable TLS 1.2 on the server"});
  }
  if (fetch.fromCache.value_or(false)) {
    warnings.push_back({"from-cache",
                        "the answer came from the Windows cache, not from the server: a file "
                        "published since then is not seen yet"});
  }
  if (fetch.bodyCut) {
    warnings.push_back({"body-cut", "the server sent more than " +
                                        std::to_string(DownloadUpdateInfo::kMaxStoredBytes) +
                                        " bytes: Falwick stores and reads only the first ones"});
  }
  if (fetch.deadlinePassed) {
    warnings.push_back({"deadline-passed",
                        "the fetch took longer than " +
                            std::to_string(DownloadUpdateInfo::kFetchDeadlineMs / 1000) +
                            " s: Falwick gives up then and reads what arrived by that time"});
  }
  return warnings;
}

std::string FormatFetchReport(const UrlFetch& fetch) {
  std::string out;
  AppendRow(out, "URL", fetch.url);
  const size_t count = fetch.responses.size();
  for (size_t i = 0; i + 1 < count; ++i) {
    const FetchedResponse& hop = fetch.responses[i];
    AppendRow(out, "Redirect", std::to_string(hop.status) + " from " + hop.url + " to " +
                                   OrNone(hop.headers.location));
  }
  AppendRow(out, "Proxy", fetch.proxy.empty() ? "none (direct)" : fetch.proxy);
  const FetchedResponse* final = fetch.Final();
  if (!fetch.opened || final == nullptr) {
    AppendRow(out, "Opened", "no: the URL could not be opened");
  } else {
    if (count > 1 || final->url != fetch.url) AppendRow(out, "Final URL", final->url);
    AppendRow(out, "Status", std::to_string(final->status));
    const ResponseHeaders& headers = final->headers;
    for (const NamedHeader& header : KnownResponseHeaders()) {
      const std::string& value = headers.*header.field;
      // Location shows in the redirect rows.
      if (header.field == &ResponseHeaders::location || (value.empty() && !header.always)) {
        continue;
      }
      AppendRow(out, header.name, OrNone(value));
    }
    const CacheLifetime lifetime = WindowsCacheLifetime(headers, fetch.fetchedAt);
    AppendRow(out, "Windows cache", (lifetime.seconds > 0 ? "answers alone for " : "") +
                                        DescribeCacheLifetime(lifetime));
    const CacheOnTheWay cache = ServedByCache(headers);
    if (cache.hit) {
      AppendRow(out, "Cache on the way",
                "answered with its copy" +
                    (cache.ageSeconds ? ", " + FormatDuration(*cache.ageSeconds) + " old"
                                      : std::string(", of unknown age")));
    }
  }
  if (!fetch.tlsVersion.empty() || fetch.certificateVerified.has_value()) {
    std::string tls = fetch.tlsVersion.empty() ? "https" : fetch.tlsVersion;
    if (fetch.certificateVerified.has_value()) {
      tls += *fetch.certificateVerified ? ", certificate verified" : ", certificate NOT trusted";
    }
    if (fetch.tls12Accepted.has_value()) {
      tls += *fetch.tls12Accepted ? ", TLS 1.2 accepted too" : ", TLS 1.2 refused";
    }
    AppendRow(out, "TLS", tls);
  }
  if (fetch.fromCache.has_value()) AppendRow(out, "From cache", *fetch.fromCache ? "yes" : "no");
  if (fetch.opened) {
    AppendRow(out, "Body", std::to_string(fetch.body.size()) + " bytes" +
                               (fetch.bodyCut ? " (cut: more was sent)" : "") + " in " +
                               Seconds(fetch.seconds));
  }
  if (fetch.error != 0) {
    AppendRow(out, "Error", fetch.errorName + " (" + std::to_string(fetch.error) + "): " +
                                fetch.errorText);
  }
  return out;
}

std::string FormatFetchWarnings(const std::vector<FetchWarning>& warnings) {
  if (warnings.empty()) return {};
  std::string out = "Fetch warnings (" + std::to_string(warnings.size()) + "):\n";
  for (const FetchWarning& warning : warnings) out += "  " + warning.text + "\n";
  return out;
}

void WriteFetchJson(JsonWriter& json, const UrlFetch& fetch) {
  const FetchedResponse* final = fetch.opened ? fetch.Final() : nullptr;
  json.BeginObject();
  json.Key("url").String(fetch.url);
  json.Key("opened").Bool(fetch.opened);
  json.Key("responses").BeginArray();
  for (const FetchedResponse& response : fetch.responses) {
    json.BeginObject();
    json.Key("url").String(response.url);
    json.Key("status").Integer(response.status);
    if (!response.headers.location.empty()) json.Key("location").String(response.headers.location);
    json.EndObject();
  }
  json.EndArray();
  json.Key("final_url");
  final != nullptr ? json.String(final->url) : json.Null();
  json.Key("status");
  final != nullptr ? json.Integer(final->status) : json.Null();
  json.Key("headers").BeginObject();
  if (final != nullptr) {
    for (const NamedHeader& header : KnownResponseHeaders()) {
      if (header.field == &ResponseHeaders::location) continue;  // in "responses"
      const std::string& value = final->headers.*header.field;
      json.Key(header.name);
      value.empty() ? json.Null() : json.String(value);
    }
  }
  json.EndObject();
  // How long Windows' cache may answer alone after this fetch, and a cache on the way.
  json.Key("windows_cache");
  if (final != nullptr) {
    const CacheLifetime lifetime = WindowsCacheLifetime(final->headers, fetch.fetchedAt);
    json.BeginObject().Key("rule").String(CacheRuleName(lifetime.rule));
    json.Key("fresh_seconds").Integer(lifetime.seconds);
    json.Key("text").String(DescribeCacheLifetime(lifetime)).EndObject();
  } else {
    json.Null();
  }
  json.Key("cache_on_the_way");
  const CacheOnTheWay cache = final != nullptr ? ServedByCache(final->headers) : CacheOnTheWay{};
  if (cache.hit) {
    json.BeginObject().Key("age_seconds").OptionalInteger(cache.ageSeconds);
    json.Key("evidence").String(cache.evidence).EndObject();
  } else {
    json.Null();
  }
  json.Key("tls_version");
  fetch.tlsVersion.empty() ? json.Null() : json.String(fetch.tlsVersion);
  json.Key("certificate_verified").OptionalBool(fetch.certificateVerified);
  json.Key("tls12_accepted").OptionalBool(fetch.tls12Accepted);
  json.Key("from_cache").Bool(fetch.fromCache.value_or(false));
  json.Key("proxy");
  fetch.proxy.empty() ? json.Null() : json.String(fetch.proxy);
  json.Key("bytes").Integer(static_cast<int64_t>(fetch.body.size()));
  json.Key("body_cut").Bool(fetch.bodyCut);
  json.Key("seconds").Number(fetch.seconds);
  json.Key("error");
  fetch.error != 0 ? json.Integer(fetch.error) : json.Null();
  json.Key("error_name");
  fetch.error != 0 ? json.String(fetch.errorName) : json.Null();
  json.Key("error_text");
  fetch.error != 0 ? json.String(fetch.errorText) : json.Null();
  json.EndObject();
}

void WriteWarningsJson(JsonWriter& json, const std::vector<FetchWarning>& warnings) {
  for (const FetchWarning& warning : warnings) {
    json.BeginObject().Key("id").String(warning.id).Key("line").Null();
    json.Key("text").String(warning.text).EndObject();
  }
}
