// Number conversions with the rules of the C library's "%lf" and "%d" input conversions
// in the classic locale, implemented here so that every build reads numbers alike,
// whatever its C library or locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The white space that a conversion skips before its number: space, \t, \n, \v, \f, \r.
constexpr bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Why a conversion stopped where it did.
enum class ScanStop : uint8_t {
  kEndOfText,   // the number runs to the end of the text
  kCharacter,   // the character at `end` cannot continue the number
  kNoDigits,    // no digit where the number would stand: no number
  kOutOfRange,  // digits, but a value outside the type's range: no number
};

// How a conversion read its text, as the C library's end pointer would tell it. Filled in
// by the conversion (no start values, so that asking costs the program nothing).
struct NumberScan {
  size_t start;  // where the number (its sign or first digit) begins, after white space
  size_t end;    // characters consumed: one past the number, 0 when there is none
  ScanStop stop;
};

// Skips leading white space, then reads an optional sign and a decimal number with
// optional fraction and exponent ("3", "3.5", ".5", "2.", "1e3"). Text after the number
// is ignored. Returns nothing when no digits stand at the start, and for results that
// are not finite (overflow); hexadecimal, "inf" and "nan" are not numbers here (only
// their leading decimal digits, if any, count). `scan` tells how the text was read.
std::optional<double> ScanDouble(std::string_view text, NumberScan& scan);
inline std::optional<double> ScanDouble(std::string_view text) {
  NumberScan scan;
  return ScanDouble(text, scan);
}

// Skips leading white space, then reads an optional sign and decimal digits. Returns
// nothing when no digit stands there or the value lies outside the signed 32-bit range.
std::optional<int32_t> ScanInt(std::string_view text, NumberScan& scan);
inline std::optional<int32_t> ScanInt(std::string_view text) {
  NumberScan scan;
  return ScanInt(text, scan);
}
