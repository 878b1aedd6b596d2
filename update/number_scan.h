// Number conversions with the rules of the C library's "%lf" and "%d" input conversions
// in the classic locale, implemented here so that every build reads numbers alike,
// whatever its C library or locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Skips leading white space (space, \t, \n, \v, \f, \r), then reads an optional sign and
// a decimal number with optional fraction and exponent ("3", "3.5", ".5", "2.", "1e3").
// Text after the number is ignored. Returns nothing when no digits stand at the start,
// and for results that are not finite (overflow); hexadecimal, "inf" and "nan" are not
// numbers here (only their leading decimal digits, if any, count).
std::optional<double> ScanDouble(std::string_view text);

// Skips leading white space, then reads an optional sign and decimal digits. Returns
// nothing when no digit stands there or the value lies outside the signed 32-bit range.
std::optional<int32_t> ScanInt(std::string_view text);
