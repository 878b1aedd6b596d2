// Decimal text to double, correctly rounded, without the C++ library's floating-point
// parser (which alone would more than double the size of the Windows program).
#pragma once

#include <string_view>

// Converts an unsigned decimal number - digits with an optional point and more digits,
// at least one digit in all, then optionally "e" or "E", an optional sign and at least
// one digit - to the nearest double, ties to even, as strtod and std::from_chars do.
// Values too large for a double give +infinity, values too small 0 (or the nearest
// subnormal). The text must have exactly this form; nothing else is checked.
double DecimalToDouble(std::string_view number);
