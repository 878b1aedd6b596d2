#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "update/number_scan.h"

namespace {

TEST(ScanDouble, ReadsDecimalNumbersLikeTheCLibrary) {
  EXPECT_EQ(ScanDouble("3.5"), 3.5);
  EXPECT_EQ(ScanDouble("  \t-2.25xyz"), -2.25);
  EXPECT_EQ(ScanDouble("+.5"), 0.5);
  EXPECT_EQ(ScanDouble("7."), 7.0);
  EXPECT_EQ(ScanDouble("1e3"), 1000.0);
  EXPECT_EQ(ScanDouble("2E-2"), 0.02);
  EXPECT_EQ(ScanDouble("3e"), 3.0);     // an exponent needs digits
  EXPECT_EQ(ScanDouble("3e+x"), 3.0);
  EXPECT_EQ(ScanDouble("3,5"), 3.0);    // the point is always "."
  EXPECT_EQ(ScanDouble("0.1"), 0.1);    // correctly rounded
}

TEST(ScanDouble, OnlyDecimalNotationIsANumber) {
  EXPECT_EQ(ScanDouble(""), std::nullopt);
  EXPECT_EQ(ScanDouble("   "), std::nullopt);
  EXPECT_EQ(ScanDouble("."), std::nullopt);
  EXPECT_EQ(ScanDouble("-"), std::nullopt);
  EXPECT_EQ(ScanDouble("v3"), std::nullopt);
  EXPECT_EQ(ScanDouble("inf"), std::nullopt);
  EXPECT_EQ(ScanDouble("nan"), std::nullopt);
  EXPECT_EQ(ScanDouble("0x1A"), 0.0);  // the decimal "0" before the x
}

TEST(ScanDouble, OverflowIsNoNumberAndUnderflowIsZero) {
  EXPECT_EQ(ScanDouble("1e309"), std::nullopt);
  EXPECT_EQ(ScanDouble("-1e400"), std::nullopt);
  EXPECT_EQ(ScanDouble(std::string(400, '9')), std::nullopt);
  EXPECT_EQ(ScanDouble("1e-400"), 0.0);
  EXPECT_EQ(ScanDouble("0.000001e-999999999999"), 0.0);
  const auto huge = ScanDouble("1.7976931348623157e308");
  ASSERT_TRUE(huge);
  EXPECT_TRUE(std::isfinite(*huge));
}

TEST(ScanDouble, ANumberCutAfter800DigitsStillRoundsToNearest) {
  // Only the first 800 digits are kept, with a note that non-zero ones followed; with
  // few non-zero digits kept, the quick conversion cannot decide and must defer.
  const std::string zeros(800, '0');
  EXPECT_EQ(ScanDouble("1.1" + zeros + "1"), 1.1);
  EXPECT_EQ(ScanDouble("1417243.3441" + zeros + "5"), 1417243.3441);
  EXPECT_EQ(ScanDouble("1.5" + zeros + "1"), 1.5);
}

TEST(ScanInt, ReadsDecimalIntegersLikeTheCLibrary) {
  EXPECT_EQ(ScanInt("12"), 12);
  EXPECT_EQ(ScanInt("012"), 12);
  EXPECT_EQ(ScanInt(" \n-7abc"), -7);
  EXPECT_EQ(ScanInt("+3.9"), 3);
  EXPECT_EQ(ScanInt("2147483647"), 2147483647);
  EXPECT_EQ(ScanInt("-2147483648"), INT32_MIN);
}

TEST(ScanInt, NoDigitsOrOutOfRangeIsNoNumber) {
  EXPECT_EQ(ScanInt(""), std::nullopt);
  EXPECT_EQ(ScanInt("yes"), std::nullopt);
  EXPECT_EQ(ScanInt("- 5"), std::nullopt);
  EXPECT_EQ(ScanInt("2147483648"), std::nullopt);
  EXPECT_EQ(ScanInt("-2147483649"), std::nullopt);
  EXPECT_EQ(ScanInt("99999999999999999999999"), std::nullopt);
}

}  // namespace
