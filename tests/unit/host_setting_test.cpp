#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/host_setting.h"
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

TEST(DisableCheckingSetting, ReadsAtMostNineCharactersWithDefaultZero) {
  CallLog log;
  FakeProfile profile(log);
  ProfileHostSetting setting(profile);
  const SettingLocation where{"C:\\p\\host.ini", "Options", "NoCheck"};
  int32_t box = 0;
  setting.Read(where, box);  // missing: the default "0"
  EXPECT_EQ(box, 0);
  EXPECT_EQ(log.back(), "GetPrivateProfileStringA(Options, NoCheck, 0, 10, C:\\p\\host.ini)");
  // The tenth character is cut off: "000000000" remains, which is 0.
  profile.values["C:\\p\\host.ini|Options|NoCheck"] = "0000000001";
  box = 1;
  setting.Read(where, box);
  EXPECT_EQ(box, 0);
  profile.values["C:\\p\\host.ini|Options|NoCheck"] = "000000002";
  setting.Read(where, box);
  EXPECT_EQ(box, 1);
}

TEST(DisableCheckingSetting, StoresOneOrZeroAtItsPlace) {
  CallLog log;
  FakeProfile profile(log);
  ProfileHostSetting setting(profile);
  const SettingLocation where{"C:\\p\\host.ini", "Options", "NoCheck"};
  for (const int32_t box : {0, 1, 2, -1}) {
    setting.Write(where, box);
    EXPECT_EQ(log.back(), std::string("WritePrivateProfileStringA(Options, NoCheck, ") +
                              (box != 0 ? "1" : "0") + ", C:\\p\\host.ini)");
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
    CallLog log;
    FakeProfile profile(log);
    if (c.fileSize != kNone) profile.fileSizes["C:\\p\\host.ini"] = c.fileSize;
    profile.freeSpaceKnown = c.spaceKnown;
    profile.freeBytes = c.freeBytes;
    ProfileHostSetting(profile).Write({"C:\\p\\host.ini", "Options", "NoCheck"}, 1);
    EXPECT_EQ(log.front(), "GetDiskFreeSpaceExA(C:\\p\\)") << c.name;
    EXPECT_EQ(IndexOf(log, "WritePrivateProfileStringA") >= 0, c.writes) << c.name;
  }
}

}  // namespace
