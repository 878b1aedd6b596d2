#include <gtest/gtest.h>

#include "update/program_version.h"

namespace {

ProgramVersion V(double version, int32_t build) { return ProgramVersion{version, build}; }

TEST(ParseInstalledVersion, SplitsAtTheLastPoint) {
  const auto a = ParseInstalledVersion("3.0.012");
  EXPECT_EQ(a.version, 3.0);
  EXPECT_EQ(a.build, 12);
  const auto b = ParseInstalledVersion("3.5.7");
  EXPECT_EQ(b.version, 3.5);
  EXPECT_EQ(b.build, 7);
  const auto c = ParseInstalledVersion("4.012");
  EXPECT_EQ(c.version, 4.0);
  EXPECT_EQ(c.build, 12);
}

TEST(ParseInstalledVersion, UnreadablePartsCountAsZero) {
  const auto noPoint = ParseInstalledVersion("7");
  EXPECT_EQ(noPoint.version, 7.0);
  EXPECT_EQ(noPoint.build, 0);
  const auto junk = ParseInstalledVersion("abc.def");
  EXPECT_EQ(junk.version, 0.0);
  EXPECT_EQ(junk.build, 0);
  const auto empty = ParseInstalledVersion("");
  EXPECT_EQ(empty.version, 0.0);
  EXPECT_EQ(empty.build, 0);
  const auto trailingPoint = ParseInstalledVersion("3.0.");
  EXPECT_EQ(trailingPoint.version, 3.0);
  EXPECT_EQ(trailingPoint.build, 0);
}

// Each case with the rule that decided it: a larger version wins whatever the builds,
// however small the difference; versions within 1e-6 (newest equal, or smaller by less)
// compare builds as signed numbers; newest smaller by 1e-6 or more never wins.
TEST(IsNewerVersion, DecidesByVersionThenWithinAMillionthByBuild) {
  const struct {
    ProgramVersion newest, installed;
    bool newer;
    VersionCase versionCase;
  } cases[] = {
      {V(3.1, 0), V(3.0, 20), true, VersionCase::kVersionLarger},
      {V(3.0 + 1e-9, 0), V(3.0, 20), true, VersionCase::kVersionLarger},
      {V(2.9, 500), V(3.0, 20), false, VersionCase::kVersionSmaller},
      {V(3.0, 21), V(3.0, 20), true, VersionCase::kBuildsDecide},
      {V(3.0, 20), V(3.0, 20), false, VersionCase::kBuildsDecide},
      {V(3.0, 19), V(3.0, 20), false, VersionCase::kBuildsDecide},
      {V(3.0 - 1e-7, 21), V(3.0, 20), true, VersionCase::kBuildsDecide},
      {V(3.0 - 1e-5, 21), V(3.0, 20), false, VersionCase::kVersionSmaller},
      {V(1.0, 0), V(1.0, -5), true, VersionCase::kBuildsDecide},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.newest.version << "." << c.newest.build << " vs "
                                    << c.installed.version << "." << c.installed.build);
    const VersionDecision decision = DecideVersion(c.newest, c.installed);
    EXPECT_EQ(decision.newer, c.newer);
    EXPECT_EQ(decision.versionCase, c.versionCase);
    EXPECT_EQ(IsNewerVersion(c.newest, c.installed), c.newer);
  }
}

TEST(FormatDisplayVersion, TruncatesTheVersionAndPadsTheBuild) {
  EXPECT_EQ(FormatDisplayVersion(V(3.5, 14)), "3.0.014");
  EXPECT_EQ(FormatDisplayVersion(V(4.0, 1234)), "4.0.1234");
  EXPECT_EQ(FormatDisplayVersion(V(3.0, 0)), "3.0.000");
  EXPECT_EQ(FormatDisplayVersion(V(-2.7, -5)), "-2.0.-05");
  EXPECT_EQ(FormatDisplayVersion(V(0.9, 7)), "0.0.007");
}

TEST(FormatDisplayVersion, ClampsVersionsBeyondTheIntegerRange) {
  EXPECT_EQ(FormatDisplayVersion(V(1e300, INT32_MIN)), "2147483647.0.-2147483648");
  EXPECT_EQ(FormatDisplayVersion(V(-1e300, INT32_MAX)), "-2147483648.0.2147483647");
}

}  // namespace
