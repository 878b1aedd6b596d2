#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "update/host_setting.h"
#include "fake_system.h"

namespace {

TEST(DisableCheckingSetting, ATextStartingWithANonZeroIntegerTicksTheBox) {
  EXPECT_EQ(DisableCheckingFromText("0", 0), 0);
  EXPECT_EQ(DisableCheckingFromText("1", 0), 1);
  EXPECT_EQ(DisableCheckingFromText("2", 0), 1);
  EXPECT_EQ(DisableCheckingFromText("-1", 0), 1);
  EXPECT_EQ(DisableCheckingFromText(" 7", 0), 1);
  EXPECT_EQ(DisableCheckingFromText("00", 1), 0);
  EXPECT_EQ(DisableCheckingFromText("yes", 0), 0);
  EXPECT_EQ(DisableCheckingFromText("", 0), 0);
}

// The setting's parts on fakes.
struct Setting {
  CallLog log;
  FakeProfile profile{log};
  FakeFiles files{log};
  ProfileHostSetting setting{profile, files};
  const SettingLocation where{"C:\\p\\host.ini", "Options", "NoCheck"};
  std::string& Stored() { return profile.values[where.file + "|Options|NoCheck"]; }
};

TEST(DisableCheckingSetting, ReadsAtMostNineCharactersWithDefaultZero) {
  Setting s;
  int32_t box = 1;
  s.setting.Read(s.where, box);  // missing: the default "0" clears the box
  EXPECT_EQ(box, 0);
  // The tenth character is cut off: "000000000" remains, which is 0.
  s.Stored() = "0000000001";
  box = 1;
  s.setting.Read(s.where, box);
  EXPECT_EQ(box, 0);
  s.Stored() = "000000002";
  s.setting.Read(s.where, box);
  EXPECT_EQ(box, 1);
}

TEST(DisableCheckingSetting, StoresOneOrZeroAtItsPlace) {
  for (const int32_t box : {0, 1, 2, -1}) {
    Setting s;
    s.setting.Write(s.where, box);
    ASSERT_EQ(s.profile.writes.size(), 1u);
    const FakeProfile::Write& write = s.profile.writes[0];
    EXPECT_EQ(write.file, s.where.file);
    EXPECT_EQ(write.section, "Options");
    EXPECT_EQ(write.key, "NoCheck");
    EXPECT_EQ(write.value, box != 0 ? "1" : "0");
  }
}

// The file is rewritten only when its volume holds it whole, with what the write adds
// ("[Options]" and "NoCheck=1", each with CR LF: 22 bytes) and 4096 bytes to spare.
TEST(DisableCheckingSetting, IsWrittenOnlyWhenTheWholeFileFitsOnItsVolume) {
  constexpr uint64_t kNone = std::numeric_limits<uint64_t>::max();  // no such file
  constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max() - 1;
  const struct {
    const char* name;
    uint64_t fileSize;
    bool spaceKnown;
    uint64_t freeBytes;
    bool writes;
  } cases[] = {
      {"roomy", 8170, true, uint64_t{1} << 40, true},
      {"just enough", 8170, true, 8170 + 22 + 4096, true},
      {"one byte short", 8170, true, 8170 + 22 + 4095, false},
      {"full disk", 8170, true, 0, false},
      {"new file with room", kNone, true, 22 + 4096, true},
      {"new file, full disk", kNone, true, 22 + 4095, false},
      {"space not told", 8170, false, 0, true},
      {"size past 4 GiB", (uint64_t{1} << 32) + 100, true, 10000, false},
      {"sizes that would wrap", kMost, true, kMost, false},
  };
  for (const auto& c : cases) {
    Setting s;
    if (c.fileSize != kNone) s.files.sizes[s.where.file] = c.fileSize;
    s.files.freeSpaceKnown = c.spaceKnown;
    s.files.freeBytes = c.freeBytes;
    s.setting.Write(s.where, 1);
    EXPECT_EQ(s.files.freeSpaceAsked, std::vector<std::string>{"C:\\p\\"}) << c.name;
    EXPECT_EQ(s.profile.writes.size(), c.writes ? 1u : 0u) << c.name;
  }
}

}  // namespace
