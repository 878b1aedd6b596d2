#include <gtest/gtest.h>

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

}  // namespace
