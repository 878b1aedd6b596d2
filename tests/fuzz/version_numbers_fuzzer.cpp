// Number and version reading: arbitrary text through ScanDouble and ScanInt, checked
// against the C library's strtod and strtol in the classic locale, and through
// ParseInstalledVersion, IsNewerVersion and FormatDisplayVersion.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "base/number_scan.h"
#include "update/program_version.h"

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// What follows the white space and the sign, lower-cased, as far as `count` characters.
std::string Start(const std::string& text, size_t count) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::string start = text.substr(i, count);
  for (char& c : start) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return start;
}

void CheckScanDouble(const std::string& text) {
  NumberScan scan;
  const std::optional<double> scanned = ScanDouble(text, scan);
  FUZZ_CHECK(scan.end <= text.size() && scan.start <= text.size());
  // The C library also reads "inf", "nan" and hexadecimal numbers, which are no numbers
  // here: "0x..." gives its leading 0.
  const std::string start = Start(text, 2);
  if (start == "in" || start == "na") {
    FUZZ_CHECK(!scanned);
    return;
  }
  if (start == "0x") {
    FUZZ_CHECK(scanned && *scanned == 0.0);
    return;
  }
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  // The scan consumes what strtod consumes, and says why it stopped there.
  FUZZ_CHECK(scan.end == static_cast<size_t>(end - text.c_str()));
  if (end == text.c_str()) {
    FUZZ_CHECK(!scanned && scan.stop == ScanStop::kNoDigits);
  } else if (errno == ERANGE && std::isinf(value)) {
    FUZZ_CHECK(!scanned && scan.stop == ScanStop::kOutOfRange);  // overflow
  } else {
    FUZZ_CHECK(scanned && *scanned == value && std::signbit(*scanned) == std::signbit(value));
    FUZZ_CHECK(scan.stop == (scan.end == text.size() ? ScanStop::kEndOfText
                                                     : ScanStop::kCharacter));
  }
}

void CheckScanInt(const std::string& text) {
  NumberScan scan;
  const std::optional<int32_t> scanned = ScanInt(text, scan);
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  FUZZ_CHECK(scan.end == static_cast<size_t>(end - text.c_str()));
  if (end == text.c_str()) {
    FUZZ_CHECK(!scanned && scan.stop == ScanStop::kNoDigits);
  } else if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
    FUZZ_CHECK(!scanned && scan.stop == ScanStop::kOutOfRange);
  } else {
    FUZZ_CHECK(scanned && *scanned == value);
    FUZZ_CHECK(scan.stop == (scan.end == text.size() ? ScanStop::kEndOfText
                                                     : ScanStop::kCharacter));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The C library stops at a NUL; so does the scan, which reads no NUL as part of a number.
  const std::string text = UpToNul(std::string(reinterpret_cast<const char*>(data), size));
  CheckScanDouble(text);
  CheckScanInt(text);

  // The installed version is split at its last point; halves of the input compare.
  const ProgramVersion installed = ParseInstalledVersion(text);
  FUZZ_CHECK(std::isfinite(installed.version));
  const size_t point = text.rfind('.');
  if (point != std::string::npos) {
    FUZZ_CHECK(installed.build == ScanInt(text.substr(point + 1)).value_or(0));
  }
  FUZZ_CHECK(FormatDisplayVersion(installed) == ExpectedDisplayVersion(installed));

  const ProgramVersion first = ParseInstalledVersion(text.substr(0, text.size() / 2));
  const ProgramVersion second = ParseInstalledVersion(text.substr(text.size() / 2));
  FUZZ_CHECK(!IsNewerVersion(first, first));
  if (first.version == second.version) {
    FUZZ_CHECK(IsNewerVersion(first, second) == (first.build > second.build));
  } else if (first.version > second.version) {
    FUZZ_CHECK(IsNewerVersion(first, second));
  }
  // The decision names the rule that made it.
  const VersionDecision decision = DecideVersion(first, second);
  FUZZ_CHECK(decision.newer == IsNewerVersion(first, second));
  const double difference = first.version - second.version;
  const VersionCase expected = difference > 0         ? VersionCase::kVersionLarger
                               : -difference < 1e-6   ? VersionCase::kBuildsDecide
                                                      : VersionCase::kVersionSmaller;
  FUZZ_CHECK(decision.versionCase == expected);
  return 0;
}
