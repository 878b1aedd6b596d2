#include "tools/info/fetch/caches.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "base/ascii_case.h"
#include "tools/info/report/phrases.h"

// Sources for the order and the figures in caches.h:
// - Microsoft, "Caching Improvements in Internet Explorer 9" (IEBlog, 2010): WinINet
//   answers from its cache without a request while an entry is fresh (max-age, Expires);
//   without either, fresh for 10 % of (download time - Last-Modified) under the automatic
//   setting. No upper bound is published, so none is applied here.
// - Microsoft, "Understanding Once-Per-Session Cache Validation" (IEInternals, 2011):
//   without Last-Modified, WinINet revalidates once per process session (and after 12
//   hours); the heuristic applies only under "Automatically", the default.
// - Microsoft, "How to prevent caching in Internet Explorer" (KB 234067): no-cache keeps
//   the entry from being reused (WinINet treats it like no-store); Pragma: no-cache keeps
//   a secure page from being cached and makes a plain one expire at once, as Expires: -1
//   does, so it counts as 0 either way; an Expires that is not a date ("-1", "0") is
//   already expired. The article predates Cache-Control being common: Pragma counts only
//   when no Cache-Control is sent, as HTTP/1.1 caches do.
// The Date header is preferred to this machine's clock: Last-Modified and Expires are on
// the server's clock, so a build machine whose clock is off does not shift the figure.

namespace {

struct Directive {
  std::string_view name;
  std::string_view value;  // without quotes; empty when none
};

// Cache-Control's directives, split at commas (a quoted value may hold commas).
std::vector<Directive> Directives(std::string_view header) {
  std::vector<Directive> directives;
  size_t at = 0;
  while (at <= header.size()) {
    size_t end = at;
    bool quoted = false;
    while (end < header.size() && (quoted || header[end] != ',')) {
      if (header[end] == '"') quoted = !quoted;
      ++end;
    }
    const std::string_view item = TrimWhiteSpace(header.substr(at, end - at));
    if (!item.empty()) {
      const size_t equals = item.find('=');
      std::string_view value = equals == std::string_view::npos
                                   ? std::string_view()
                                   : TrimWhiteSpace(item.substr(equals + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      directives.push_back({TrimWhiteSpace(item.substr(0, equals)), value});
    }
    at = end + 1;
  }
  return directives;
}

const Directive* Find(const std::vector<Directive>& directives, std::string_view name) {
  for (const Directive& directive : directives) {
    if (EqualsIgnoringAsciiCase(directive.name, name)) return &directive;
  }
  return nullptr;
}

// `text` as a decimal number when it is one (digits only), capped at `cap`; nothing for
// anything else.
std::optional<int64_t> Decimal(std::string_view text, int64_t cap) {
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min(value * 10 + (c - '0'), cap);
  }
  return value;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// A field of a date: `minDigits` to `maxDigits` digits; -1 for anything else.
int Number(std::string_view text, size_t minDigits, size_t maxDigits) {
  if (text.size() < minDigits || text.size() > maxDigits) return -1;
  return static_cast<int>(Decimal(text, 9999).value_or(-1));
}

int Month(std::string_view text) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int i = 0; i < 12; ++i) {
    if (EqualsIgnoringAsciiCase(text, kMonths[i])) return i + 1;
  }
  return 0;
}

// An HTTP date in any of its three forms (IMF-fixdate, RFC 850, asctime) as seconds since
// 1970 (UTC); nothing for anything else.
std::optional<int64_t> ParseHttpDate(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == ',' || text[at] == '-')) ++at;
    size_t end = at;
    while (end < text.size() && text[end] != ' ' && text[end] != ',' && text[end] != '-') ++end;
    if (end > at) tokens.push_back(text.substr(at, end - at));
    at = end;
  }
  // IMF-fixdate and RFC 850: weekday day month year time GMT; asctime: weekday month day
  // time year. -1: not a number.
  int day = -1, year = -1, month = 0;
  std::string_view time;
  if (tokens.size() == 6 && EqualsIgnoringAsciiCase(tokens[5], "GMT")) {
    day = Number(tokens[1], 1, 2);
    month = Month(tokens[2]);
    time = tokens[4];
    if (tokens[3].size() == 2) {
      year = Number(tokens[3], 2, 2);
      if (year >= 0) year += year < 70 ? 2000 : 1900;
    } else {
      year = Number(tokens[3], 4, 4);
    }
  } else if (tokens.size() == 5) {
    month = Month(tokens[1]);
    day = Number(tokens[2], 1, 2);
    time = tokens[3];
    year = Number(tokens[4], 4, 4);
  } else {
    return std::nullopt;
  }
  if (time.size() != 8 || time[2] != ':' || time[5] != ':') return std::nullopt;
  const int hour = Number(time.substr(0, 2), 2, 2);
  const int minute = Number(time.substr(3, 2), 2, 2);
  const int second = Number(time.substr(6, 2), 2, 2);
  if (year < 0 || month == 0 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 60) {
    return std::nullopt;
  }
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

// A CDN status word that means the answer is the cache's copy. REVALIDATED counts: the
// copy was confirmed with the server, but it is still the copy that was sent.
bool StatusIsHit(std::string_view status) {
  const std::string word = Upper(status);
  return word == "HIT" || word == "STALE" || word == "UPDATING" || word == "REVALIDATED";
}

// Age is delta-seconds; a list of them (two caches that each added one) takes the first,
// as HTTP caches do. Nothing for anything else.
std::optional<int64_t> AgeSeconds(std::string_view text) {
  const size_t end = std::min(text.find_first_not_of("0123456789"), text.size());
  if (end > 12) return std::nullopt;
  return Decimal(text.substr(0, end), INT64_MAX);
}

}  // namespace

CacheLifetime WindowsCacheLifetime(const ResponseHeaders& headers, int64_t fetchedAt) {
  const std::string& cacheControl = headers.Get("Cache-Control");
  const std::vector<Directive> directives = Directives(cacheControl);
  if (Find(directives, "no-store") != nullptr) return {CacheRule::kNoStore, 0, 0};
  const bool pragmaNoCache =
      cacheControl.empty() && Find(Directives(headers.Get("Pragma")), "no-cache") != nullptr;
  if (Find(directives, "no-cache") != nullptr || pragmaNoCache) {
    return {CacheRule::kNoCache, 0, 0};
  }
  if (const Directive* maxAge = Find(directives, "max-age")) {
    // Huge values are capped at 2^31 s, as HTTP caches do.
    return {CacheRule::kMaxAge, Decimal(maxAge->value, 2147483648LL).value_or(0), 0};
  }
  const int64_t date = ParseHttpDate(headers.Get("Date")).value_or(fetchedAt);
  if (const std::string& text = headers.Get("Expires"); !text.empty()) {
    const std::optional<int64_t> expires = ParseHttpDate(text);
    const int64_t lifetime = expires ? *expires - date : 0;
    return {CacheRule::kExpires, lifetime > 0 ? lifetime : 0, 0};
  }
  if (const std::optional<int64_t> modified = ParseHttpDate(headers.Get("Last-Modified"))) {
    const int64_t unchanged = date - *modified;
    if (unchanged <= 0) return {CacheRule::kLastModified, 0, 0};
    return {CacheRule::kLastModified, unchanged / 10, unchanged};
  }
  return {CacheRule::kNone, 0, 0};
}

const char* CacheRuleName(CacheRule rule) {
  static const char* const kNames[] = {"no-store", "no-cache",      "max-age",
                                       "expires",  "last-modified", "none"};
  return kNames[static_cast<size_t>(rule)];
}

std::string FormatDuration(int64_t seconds) {
  struct Unit {
    int64_t seconds;
    const char* name;
  };
  static const Unit kUnits[] = {{86400, "day"}, {3600, "hour"}, {60, "minute"}, {1, "second"}};
  for (const Unit& unit : kUnits) {
    if (seconds >= unit.seconds || unit.seconds == 1) {
      const int64_t count = seconds / unit.seconds;
      return std::to_string(count) + " " + unit.name + (count == 1 ? "" : "s");
    }
  }
  return {};
}

std::string DescribeCacheLifetime(const CacheLifetime& lifetime) {
  switch (lifetime.rule) {
    case CacheRule::kNoStore: return "none: Cache-Control no-store, nothing is stored";
    case CacheRule::kNoCache: return "none: no-cache, the server is asked on every run";
    case CacheRule::kNone:
      return "none: no Cache-Control, Expires or Last-Modified, the server is asked on every "
             "run";
    case CacheRule::kMaxAge:
      return lifetime.seconds == 0 ? "none: max-age 0, the server is asked on every run"
                                   : FormatDuration(lifetime.seconds) + " (max-age)";
    case CacheRule::kExpires:
      return lifetime.seconds == 0 ? "none: Expires already passed, the server is asked on "
                                     "every run"
                                   : FormatDuration(lifetime.seconds) + " (Expires - Date)";
    case CacheRule::kLastModified:
      if (lifetime.seconds == 0) {
        return "none: Last-Modified is not before Date, the server is asked on every run";
      }
      return "about " + FormatDuration(lifetime.seconds) + " (10 % of the " +
             FormatDuration(lifetime.unchangedSeconds) +
             " from Last-Modified to the fetch; no Cache-Control or Expires)";
  }
  return {};
}

CacheOnTheWay ServedByCache(const ResponseHeaders& headers) {
  CacheOnTheWay cache;
  cache.ageSeconds = AgeSeconds(headers.Get("Age"));
  cache.hit = Upper(headers.Get("X-Cache")).find("HIT") != std::string::npos ||
              StatusIsHit(headers.Get("CF-Cache-Status")) ||
              StatusIsHit(headers.Get("X-Cache-Status")) || cache.ageSeconds.value_or(0) > 0;
  for (const char* name :
       {"Age", "X-Cache", "X-Cache-Lookup", "X-Cache-Status", "CF-Cache-Status", "Via"}) {
    const std::string& value = headers.Get(name);
    if (value.empty()) continue;
    if (!cache.evidence.empty()) cache.evidence += ", ";
    cache.evidence += std::string(name) + ": " + value;
  }
  return cache;
}
