#include "base/number_scan.h"

#include <cmath>

#include "base/decimal_to_double.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

// Where the number begins after the white space, and whether it is negative; `i` is
// left after the sign.
size_t StartNumber(std::string_view text, size_t& i, bool& negative) {
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  const size_t start = i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  return start;
}

NumberScan Scanned(size_t start, size_t end, size_t size, bool inRange) {
  if (!inRange) return NumberScan{start, end, ScanStop::kOutOfRange};
  return NumberScan{start, end, end == size ? ScanStop::kEndOfText : ScanStop::kCharacter};
}

}  // namespace

std::optional<double> ScanDouble(std::string_view text, NumberScan& scan) {
  size_t i = 0;
  bool negative = false;
  scan = NumberScan{StartNumber(text, i, negative), 0, ScanStop::kNoDigits};

  // Mantissa: digits, optionally a point and more digits; at least one digit in all.
  const size_t digits = i;
  size_t end = SkipDigits(text, i);
  bool hasDigits = end > digits;
  if (end < text.size() && text[end] == '.') {
    const size_t fractionEnd = SkipDigits(text, end + 1);
    hasDigits = hasDigits || fractionEnd > end + 1;
    end = fractionEnd;
  }
  if (!hasDigits) return std::nullopt;

  // Exponent: only when at least one digit follows the "e" and its sign.
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t e = end + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    const size_t exponentEnd = SkipDigits(text, e);
    if (exponentEnd > e) end = exponentEnd;
  }

  // Too large a number is no number; one too small to be told from zero is zero.
  const double value = DecimalToDouble(text.substr(digits, end - digits));
  scan = Scanned(scan.start, end, text.size(), std::isfinite(value));
  if (scan.stop == ScanStop::kOutOfRange) return std::nullopt;
  return negative ? -value : value;
}

std::optional<int32_t> ScanInt(std::string_view text, NumberScan& scan) {
  size_t i = 0;
  bool negative = false;
  scan = NumberScan{StartNumber(text, i, negative), 0, ScanStop::kNoDigits};
  const size_t end = SkipDigits(text, i);
  if (end == i) return std::nullopt;

  // Accumulate as a negative number so that INT32_MIN itself fits.
  int64_t value = 0;
  bool inRange = true;
  for (size_t k = i; k < end && inRange; ++k) {
    value = value * 10 - (text[k] - '0');
    inRange = value >= INT32_MIN;
  }
  if (inRange && !negative) {
    inRange = value >= -static_cast<int64_t>(INT32_MAX);
    value = -value;
  }
  scan = Scanned(scan.start, end, text.size(), inRange);
  if (!inRange) return std::nullopt;
  return static_cast<int32_t>(value);
}
