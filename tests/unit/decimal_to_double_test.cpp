#include "base/decimal_to_double.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "bench/decimal_samples.h"

namespace {

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The C library's strtod (glibc's is correctly rounded, and the test runs in the
// classic locale) and the C++ library's from_chars must both give exactly the same
// double, bit for bit; where from_chars reports a result out of range, the conversion
// gives infinity for too large and zero for too small.
void ExpectAgreement(const std::string& text) {
  const double value = DecimalToDouble(text);
  const double expected = std::strtod(text.c_str(), nullptr);
  ASSERT_EQ(Bits(value), Bits(expected)) << text;

  double parsed = -1.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), parsed);
  ASSERT_EQ(end, text.data() + text.size()) << text;
  if (error == std::errc::result_out_of_range) {
    ASSERT_TRUE(value == 0.0 || std::isinf(value)) << text;
  } else {
    ASSERT_EQ(error, std::errc()) << text;
    ASSERT_EQ(Bits(value), Bits(parsed)) << text;
  }
}

TEST(DecimalToDouble, RoundsCorrectlyAtTheHardPlaces) {
  for (const char* text : {
           "0", "0.0", "000.000e5", "1", "3.5", ".5", "2.", "0.1", "1e23", "8.5e-3",
           // 2^53, then 2^53 + 1 and + 3: ties between doubles 2 apart
           "9007199254740992", "9007199254740993", "9007199254740995",
           // around the smallest normal double, and the smallest subnormal
           "2.2250738585072011e-308", "2.2250738585072012e-308",
           "2.2250738585072014e-308", "4.9406564584124654e-324",
           // around half the smallest subnormal: zero, or the smallest subnormal
           "2.4703282292062327e-324", "2.4703282292062328e-324",
           "1.7976931348623157e308", "1.7976931348623158e308", "1.797693134862315807e308",
           "1.7976931348623159e308", "1e309", "1e-400", "123456789012345678901234567890",
           "0.000000000000000000000000000000000000000000001e45",
           "1e99999999999999999999", "1e-99999999999999999999",
       }) {
    ExpectAgreement(text);
  }
}

TEST(DecimalToDouble, AgreesWithTheCLibrariesOnRandomNumbers) {
  DecimalSamples samples(20240611);
  for (int i = 0; i < 40000 && !HasFatalFailure(); ++i) ExpectAgreement(samples.Next());
}

}  // namespace
