#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/number_scan.h"

namespace {

struct DoubleCase {
  const char* text;
  std::optional<double> value;
  size_t end;  // characters consumed, as strtod's end pointer tells
  ScanStop stop;
};

TEST(ScanDouble, ReadsDecimalNumbersLikeTheCLibraryAndSaysWhereItStopped) {
  const DoubleCase cases[] = {
      {"3.5", 3.5, 3, ScanStop::kEndOfText},
      {"  \t-2.25xyz", -2.25, 8, ScanStop::kCharacter},
      {"+.5", 0.5, 3, ScanStop::kEndOfText},
      {"7.", 7.0, 2, ScanStop::kEndOfText},
      {"1e3", 1000.0, 3, ScanStop::kEndOfText},
      {"2E-2", 0.02, 4, ScanStop::kEndOfText},
      {"3e", 3.0, 1, ScanStop::kCharacter},  // an exponent needs digits
      {"3e+x", 3.0, 1, ScanStop::kCharacter},
      {"3,5", 3.0, 1, ScanStop::kCharacter},  // the point is always "."
      {"0.1", 0.1, 3, ScanStop::kEndOfText},  // correctly rounded
      // Only decimal notation is a number.
      {"", std::nullopt, 0, ScanStop::kNoDigits},
      {"   ", std::nullopt, 0, ScanStop::kNoDigits},
      {".", std::nullopt, 0, ScanStop::kNoDigits},
      {"-", std::nullopt, 0, ScanStop::kNoDigits},
      {"v3", std::nullopt, 0, ScanStop::kNoDigits},
      {"inf", std::nullopt, 0, ScanStop::kNoDigits},
      {"nan", std::nullopt, 0, ScanStop::kNoDigits},
      {"0x1A", 0.0, 1, ScanStop::kCharacter},  // the decimal "0" before the x
      {" 1e309 ", std::nullopt, 6, ScanStop::kOutOfRange},
  };
  for (const DoubleCase& c : cases) {
    SCOPED_TRACE(c.text);
    NumberScan scan;
    EXPECT_EQ(ScanDouble(c.text, scan), c.value);
    EXPECT_EQ(scan.end, c.end);
    EXPECT_EQ(scan.stop, c.stop);
  }
  NumberScan scan;
  ScanDouble(" \t+4", scan);
  EXPECT_EQ(scan.start, 2u);  // the sign, after the white space
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

TEST(ScanInt, ReadsDecimalIntegersLikeTheCLibraryAndSaysWhereItStopped) {
  const struct {
    const char* text;
    std::optional<int32_t> value;
    size_t end;
    ScanStop stop;
  } cases[] = {
      {"12", 12, 2, ScanStop::kEndOfText},
      {"012", 12, 3, ScanStop::kEndOfText},
      {" \n-7abc", -7, 4, ScanStop::kCharacter},
      {"+3.9", 3, 2, ScanStop::kCharacter},
      {"2147483647", 2147483647, 10, ScanStop::kEndOfText},
      {"-2147483648", INT32_MIN, 11, ScanStop::kEndOfText},
      // No digits, or out of range, is no number.
      {"", std::nullopt, 0, ScanStop::kNoDigits},
      {"yes", std::nullopt, 0, ScanStop::kNoDigits},
      {"- 5", std::nullopt, 0, ScanStop::kNoDigits},
      {"2147483648", std::nullopt, 10, ScanStop::kOutOfRange},
      {"-2147483649", std::nullopt, 11, ScanStop::kOutOfRange},
      {"99999999999999999999999x", std::nullopt, 23, ScanStop::kOutOfRange},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    NumberScan scan;
    EXPECT_EQ(ScanInt(c.text, scan), c.value);
    EXPECT_EQ(scan.end, c.end);
    EXPECT_EQ(scan.stop, c.stop);
  }
}

}  // namespace
