#include "update/program_version.h"

#include <cmath>
#include <cstdint>

#include "base/number_scan.h"

InstalledVersionText SplitInstalledVersion(std::string_view text) {
  const size_t point = text.rfind('.');
  if (point == std::string_view::npos) return {text, {}, false};
  return {text.substr(0, point), text.substr(point + 1), true};
}

ProgramVersion ParseInstalledVersion(std::string_view text) {
  const InstalledVersionText parts = SplitInstalledVersion(text);
  ProgramVersion installed;
  if (parts.hasBuild) installed.build = ScanInt(parts.build).value_or(0);
  installed.version = ScanDouble(parts.version).value_or(0.0);
  return installed;
}

VersionDecision DecideVersion(const ProgramVersion& newest, const ProgramVersion& installed) {
  if (newest.version > installed.version) return {true, VersionCase::kVersionLarger};
  if (std::fabs(newest.version - installed.version) < 1e-6) {
    return {newest.build > installed.build, VersionCase::kBuildsDecide};
  }
  return {false, VersionCase::kVersionSmaller};
}

bool IsNewerVersion(const ProgramVersion& newest, const ProgramVersion& installed) {
  return DecideVersion(newest, installed).newer;
}

namespace {

// printf's "%0*d": at least `width` characters, zeros between the sign and the digits.
std::string FormatInt(int64_t value, size_t width) {
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : value;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  const size_t used = digits.size() + (negative ? 1 : 0);
  if (used < width) digits.insert(0, width - used, '0');
  return negative ? "-" + digits : digits;
}

}  // namespace

std::string FormatDisplayVersion(const ProgramVersion& newest) {
  // Clamping avoids an undefined conversion for versions beyond the int range; the
  // version always comes from a successful, finite conversion.
  double whole = std::trunc(newest.version);
  if (!(whole >= INT32_MIN)) whole = INT32_MIN;
  if (whole > INT32_MAX) whole = INT32_MAX;
  return FormatInt(static_cast<int64_t>(whole), 0) + ".0." + FormatInt(newest.build, 3);
}
