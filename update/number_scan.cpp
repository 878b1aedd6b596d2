#include "update/number_scan.h"

#include <cmath>

#include "update/decimal_to_double.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Index of the first character after leading white space.
size_t SkipSpace(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  return i;
}

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

}  // namespace

std::optional<double> ScanDouble(std::string_view text) {
  size_t i = SkipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  // Mantissa: digits, optionally a point and more digits; at least one digit in all.
  const size_t start = i;
  size_t end = SkipDigits(text, i);
  bool hasDigits = end > start;
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
  const double value = DecimalToDouble(text.substr(start, end - start));
  if (!std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::optional<int32_t> ScanInt(std::string_view text) {
  size_t i = SkipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t end = SkipDigits(text, i);
  if (end == i) return std::nullopt;

  // Accumulate as a negative number so that INT32_MIN itself fits.
  int64_t value = 0;
  for (size_t k = i; k < end; ++k) {
    value = value * 10 - (text[k] - '0');
    if (value < INT32_MIN) return std::nullopt;
  }
  if (!negative) {
    if (value < -static_cast<int64_t>(INT32_MAX)) return std::nullopt;
    value = -value;
  }
  return static_cast<int32_t>(value);
}
