// What a fetch of the published info file tells its maker or integrator: the traps of the
// way it is served (plain http, an error status, an HTML page, no cache headers, how long
// Windows' cache may answer alone, an answer from a cache, a compressed body), as text
// rows and as JSON.
#pragma once

#include <string>
#include <vector>

#include "tools/info/common/json_writer.h"
#include "tools/info/url_check/response_warnings.h"
#include "tools/info/url_check/url_fetch.h"

// Every trap in how `fetch` was served, in a stable order (ResponseWarnings's among them).
std::vector<FetchWarning> FetchWarnings(const UrlFetch& fetch);

// The fetch as report rows: the URL, each response with its status, the final URL and
// its headers, how long Windows' cache may answer alone, a cache on the way, TLS, cache
// and proxy, the body's size and time, or the error.
std::string FormatFetchReport(const UrlFetch& fetch);

// "Fetch warnings (N):" and one line each; nothing when there are none.
std::string FormatFetchWarnings(const std::vector<FetchWarning>& warnings);

// The fetch as one JSON object (the body itself is left out: its check says what it holds).
void WriteFetchJson(JsonWriter& json, const UrlFetch& fetch);
// Writes `warnings` into the array `json` is writing, each {"id", "line": null, "text"}.
void WriteWarningsJson(JsonWriter& json, const std::vector<FetchWarning>& warnings);
