// What a fetch of the published info file tells its maker or integrator: how it was
// served, as report facts, the findings in it, and what WinINet's errors mean.
#pragma once

#include <cstdint>
#include <string>

#include "tools/info/fetch/url_fetch.h"
#include "tools/info/report/report.h"
#include "update/download.h"

// Windows answering alone for longer than this is a warning; a release pipeline that
// wants another bound reads the figure from the JSON ("windows_cache").
inline constexpr int64_t kCacheLifetimeWarningSeconds = 3600;

// Every finding in how `fetch` was served, in a stable order (ResponseFindings's among
// them); "url-not-opened" when it could not be opened.
Findings FetchFindings(const UrlFetch& fetch);

// The findings that the headers of the final response decide on their own (caches.h), in
// this order: "windows-cache-lifetime" (Windows' cache may answer alone for more than an
// hour), "served-by-cache" (a cache on the way answered) and "content-encoding" (Falwick
// stores a compressed body as sent). `fetchedAt`: UrlFetch::fetchedAt, for a response
// without Date.
Findings ResponseFindings(const ResponseHeaders& headers, int64_t fetchedAt);

constexpr uint32_t kConnectionProxy = 0x04;  // INTERNET_CONNECTION_PROXY

// "LAN, RAS installed" for InternetGetConnectedState's flags; "none" for 0.
std::string DescribeConnectionFlags(uint32_t flags);

// Why Connect found the machine off line, in a clause, from how it ended (the program's
// own account) and the flags Windows gave.
std::string OffLineCause(ConnectResult result, uint32_t flags);

// The fetch as the member "fetch" of `report` (docs/publishing.md); the body is left
// out: its check says what it holds.
void AddFetch(Fact& report, const UrlFetch& fetch);

// WinINet's error numbers as an integrator meets them (wininet_errors.cpp): the
// constant's name in the SDK and what it usually means for a published info file.
struct WinInetErrorInfo {
  std::string name;  // "ERROR_INTERNET_CANNOT_CONNECT"; "error N" for a number not known
  std::string text;  // what it means, in a phrase
  std::string fix;   // what to do about it; empty when there is no one thing
};

// The name and meaning of `number`: a WinINet error (12001 to 12175), or one of the
// system and Winsock errors a fetch can end with.
WinInetErrorInfo DescribeWinInetError(long number);

// Whether `number` says the server's certificate was not accepted.
bool IsCertificateError(long number);
