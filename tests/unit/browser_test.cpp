#include <gtest/gtest.h>

#include "fake_platform.h"
#include "shell/browser.h"

namespace {

using Calls = std::vector<std::string>;

TEST(OpenInBrowser, StartsTheHtmlProgramWithTheUrlUnchanged) {
  FakePlatform platform;
  OpenInBrowser(platform, nullptr, "http://example.test/a page?x=\"1\"");
  EXPECT_EQ(platform.calls,
            (Calls{"GetTempPathA(260)", "CreateFileA(C:\\Temp\\www.htm, 0, 0, 1, 0x4000020)",
                   "FindExecutableA(C:\\Temp\\www.htm, null)",
                   "ShellExecuteA(null, null, C:\\Browsers\\browser.exe, "
                   "http://example.test/a page?x=\"1\", null, 1)",
                   "DeleteFileA(C:\\Temp\\www.htm)"}));
}

TEST(OpenInBrowser, PassesTheOwnerWindowItIsGiven) {
  FakePlatform platform;
  OpenInBrowser(platform, reinterpret_cast<void*>(0x77), "u");
  EXPECT_EQ(platform.CallsNamed("ShellExecuteA")[0],
            "ShellExecuteA(0x77, null, C:\\Browsers\\browser.exe, u, null, 1)");
}

TEST(OpenInBrowser, ResultsUpTo32MeanNoBrowser) {
  FakePlatform at32;
  at32.findExecutableResult = 32;
  OpenInBrowser(at32, nullptr, "u");
  EXPECT_EQ(at32.calls.back(), "FindExecutableA(C:\\Temp\\www.htm, null)");
  FakePlatform at33;
  at33.findExecutableResult = 33;
  OpenInBrowser(at33, nullptr, "u");
  EXPECT_EQ(at33.calls.back(), "DeleteFileA(C:\\Temp\\www.htm)");
}

TEST(OpenInBrowser, APlaceholderLeftByAnotherProcessIsUsedAsItIs) {
  FakePlatform platform;
  platform.files["C:\\Temp\\www.htm"] = "";
  OpenInBrowser(platform, nullptr, "u");
  EXPECT_EQ(platform.CallsNamed("ShellExecuteA").size(), 1u);
}

// Another process's placeholder that disappears, with its process, between the failed
// creation and the lookup.
class VanishingPlaceholder : public FakePlatform {
 public:
  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override {
    const intptr_t found = FakePlatform::FindExecutableA(file, directory, result);
    if (lookups_++ > 0) return found;
    files.erase(file);
    return 2;  // file not found
  }

 private:
  int lookups_ = 0;
};

TEST(OpenInBrowser, APlaceholderThatVanishesBeforeTheLookupIsReplacedByAnOwnOne) {
  VanishingPlaceholder platform;
  platform.files["C:\\Temp\\www.htm"] = "";
  OpenInBrowser(platform, nullptr, "u");
  EXPECT_EQ(platform.CallsNamed("CreateFileA").size(), 2u);
  EXPECT_EQ(platform.CallsNamed("FindExecutableA").size(), 2u);
  EXPECT_EQ(platform.CallsNamed("ShellExecuteA").size(), 1u);
}

TEST(OpenInBrowser, NoBrowserIsStartedWhenTheLookupFailsTwice) {
  FakePlatform platform;
  platform.files["C:\\Temp\\www.htm"] = "";
  platform.findExecutableResult = 31;
  OpenInBrowser(platform, nullptr, "u");
  EXPECT_EQ(platform.CallsNamed("FindExecutableA").size(), 2u);
  EXPECT_TRUE(platform.CallsNamed("ShellExecuteA").empty());
}

TEST(OpenInBrowser, NothingHappensWithoutATemporaryDirectory) {
  FakePlatform failed;
  failed.tempResult = 0;
  failed.tempPath = std::string(300, 't');  // does not fit: the size needed comes back
  OpenInBrowser(failed, nullptr, "u");
  EXPECT_EQ(failed.calls, (Calls{"GetTempPathA(260)"}));

  FakePlatform zero;
  zero.tempPath = "";
  OpenInBrowser(zero, nullptr, "u");
  EXPECT_EQ(zero.calls, (Calls{"GetTempPathA(260)"}));
}

}  // namespace
