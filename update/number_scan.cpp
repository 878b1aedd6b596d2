#include "update/number_scan.h"

#include <charconv>
#include <cmath>
#include <string>

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

// Power of ten of the leading significant digit plus one, of a well-formed decimal
// number without sign: "123.4" gives 3, "0.05" gives -1, "1e-400" gives -399.
int64_t DecimalMagnitude(std::string_view number) {
  size_t i = 0;
  int64_t magnitude = 0;
  while (i < number.size() && number[i] == '0') ++i;
  const size_t integerStart = i;
  i = SkipDigits(number, i);
  magnitude = static_cast<int64_t>(i - integerStart);
  if (i < number.size() && number[i] == '.') {
    ++i;
    if (magnitude == 0) {
      while (i < number.size() && number[i] == '0') { ++i; --magnitude; }
    }
    i = SkipDigits(number, i);
  }
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) ++i;
    int64_t exponent = 0;
    for (; i < number.size() && IsDigit(number[i]); ++i) {
      if (exponent < 1000000000) exponent = exponent * 10 + (number[i] - '0');
    }
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude;
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

  double value = 0.0;
  const auto [ptr, error] =
      std::from_chars(text.data() + start, text.data() + end, value,
                      std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // from_chars reports both overflow and underflow this way. An underflow is a
    // perfectly good zero, as it is for the C library; an overflow is no number.
    if (DecimalMagnitude(text.substr(start, end - start)) > 0) return std::nullopt;
    value = 0.0;
  } else if (error != std::errc() || ptr != text.data() + end) {
    return std::nullopt;
  }
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
