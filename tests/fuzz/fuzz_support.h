// What the fuzz targets share: a check that stops the run with a message when a
// property does not hold (libFuzzer then keeps the input as a crash), and the expected
// display version, formatted by the C library.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "update/program_version.h"

#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      (void)std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                 \
    }                                                                               \
  } while (false)

// For a target's own reference code: its branches are not the program's, so they give
// libFuzzer no guidance, and tracing them on long inputs would take most of the time.
#define FUZZ_UNTRACED __attribute__((no_sanitize("coverage")))

// "%d.0.%03d" by snprintf, of the version truncated toward zero and clamped to the int
// range (NaN counts as the lowest value).
inline std::string ExpectedDisplayVersion(const ProgramVersion& version) {
  double whole = std::trunc(version.version);
  if (std::isnan(whole) || whole < INT32_MIN) whole = INT32_MIN;
  if (whole > INT32_MAX) whole = INT32_MAX;
  char text[64];
  (void)std::snprintf(text, sizeof text, "%d.0.%03d", static_cast<int>(whole),
                      static_cast<int>(version.build));
  return text;
}

// The text as a C string holds it: up to the first NUL.
inline std::string UpToNul(const std::string& text) { return text.substr(0, text.find('\0')); }

// Whether `text` begins with `prefix`.
inline bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

inline bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
