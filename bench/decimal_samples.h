// Decimal numbers that put a decimal-to-double conversion to the test, drawn at random:
// short and long digit strings over the whole exponent range, and numbers exactly at,
// just below and just above the halfway point between two neighbouring doubles, where a
// conversion that is not exact rounds the wrong way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

class DecimalSamples {
 public:
  explicit DecimalSamples(uint64_t seed) : random_(seed) {}

  // The next sample, in the form "digits[.digits][e[-]digits]", without sign.
  std::string Next() {
    switch (Below(8)) {
      case 0:
      case 1:
        return Short();
      case 2:
        return Long();
      default:
        return NearHalfway();
    }
  }

 private:
  uint64_t Below(uint64_t n) { return random_() % n; }
  char Digit() { return static_cast<char>('0' + Below(10)); }

  // Up to 20 digits, a point anywhere or nowhere, and an exponent across the whole
  // range of doubles and a little past both ends.
  std::string Short() {
    std::string text;
    const size_t digits = 1 + Below(20);
    for (size_t i = 0; i < digits; ++i) text += Digit();
    AddPointAndExponent(text, 360);
    return text;
  }

  // Hundreds of digits, sometimes with long runs of zeros, past the 800 digits the
  // conversion keeps.
  std::string Long() {
    std::string text;
    const size_t digits = 20 + Below(1000);
    for (size_t i = 0; i < digits; ++i) text += Below(4) == 0 ? Digit() : '0';
    text[0] = static_cast<char>('1' + Below(9));
    AddPointAndExponent(text, 360);
    return text;
  }

  // The exact decimal expansion of the midpoint between a random double and the next
  // one up, then: left as it is (a tie, rounded to even), cut short (just below), or
  // with a 1 appended far down (just above). The x87 long double holds the midpoint
  // exactly, and the C library prints its exact expansion.
  std::string NearHalfway() {
    // Finite, positive, below the largest double.
    uint64_t bits = random_() & 0x7FEFFFFFFFFFFFFFULL;
    if (Below(4) == 0) bits &= 0x000FFFFFFFFFFFFFULL;   // often a subnormal
    double low, high;
    std::memcpy(&low, &bits, sizeof low);
    ++bits;
    std::memcpy(&high, &bits, sizeof high);
    const long double middle = (static_cast<long double>(low) + high) / 2;
    char buffer[1200];
    std::snprintf(buffer, sizeof buffer, "%.800Le", middle);
    std::string text = buffer;
    const size_t e = text.find('e');
    std::string mantissa = text.substr(0, e);
    const std::string exponent = text.substr(e);
    while (mantissa.back() == '0') mantissa.pop_back();
    switch (Below(3)) {
      case 0:
        break;
      case 1:
        mantissa.pop_back();  // below the midpoint (its last digit is never 0)
        if (mantissa.back() == '.') mantissa.pop_back();
        break;
      default:
        mantissa += std::string(Below(100), '0') + "1";
        break;
    }
    return mantissa + exponent;
  }

  void AddPointAndExponent(std::string& text, int64_t range) {
    const uint64_t point = Below(text.size() + 2);
    if (point <= text.size()) text.insert(point, ".");
    if (Below(5) != 0) {
      const int64_t exponent = static_cast<int64_t>(Below(2 * range + 1)) - range;
      text += Below(2) == 0 ? 'e' : 'E';
      if (exponent < 0 || Below(4) == 0) text += exponent < 0 ? '-' : '+';
      text += std::to_string(exponent < 0 ? -exponent : exponent);
    }
  }

  std::mt19937_64 random_;
};
