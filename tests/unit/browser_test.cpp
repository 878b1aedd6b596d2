#include <gtest/gtest.h>

#include "fake_system.h"
#include "shell/browser.h"

namespace {

const std::string kPlaceholder = "C:\\Temp\\www.htm";

// The browser launch on a fake shell.
struct Launch {
  CallLog log;
  FakeShell shell{log};
  void Open(const std::string& url, WindowHandle owner = nullptr) {
    DefaultBrowser(shell).Open(owner, url);
  }
  CallLog Started() const { return CallsNamed(log, "ShellExecuteA"); }
};

TEST(DefaultBrowser, StartsTheHtmlProgramWithTheUrlUnchanged) {
  Launch l;
  l.Open("http://example.test/a page?x=\"1\"");
  EXPECT_EQ(l.log,
            (CallLog{"GetTempPathA(260)", "CreateFileA(C:\\Temp\\www.htm, 0, 0, 1, 0x4000020)",
                     "FindExecutableA(C:\\Temp\\www.htm, null)",
                     "ShellExecuteA(null, null, C:\\Browsers\\browser.exe, "
                     "http://example.test/a page?x=\"1\", null, 1)",
                     "DeleteFileA(C:\\Temp\\www.htm)"}));
}

TEST(DefaultBrowser, PassesTheOwnerWindowItIsGiven) {
  Launch l;
  l.Open("u", reinterpret_cast<WindowHandle>(0x77));
  EXPECT_EQ(l.Started(),
            CallLog{"ShellExecuteA(0x77, null, C:\\Browsers\\browser.exe, u, null, 1)"});
}

TEST(DefaultBrowser, ResultsUpTo32MeanNoBrowser) {
  for (const intptr_t result : {intptr_t{31}, intptr_t{32}, intptr_t{33}}) {
    Launch l;
    l.shell.findExecutableResult = result;
    l.Open("u");
    EXPECT_EQ(l.Started().size(), result > 32 ? 1u : 0u) << result;
  }
}

TEST(DefaultBrowser, APlaceholderLeftByAnotherProcessIsUsedAsItIs) {
  Launch l;
  l.shell.files.insert(kPlaceholder);
  l.Open("u");
  EXPECT_EQ(CallsNamed(l.log, "CreateFileA").size(), 1u);
  EXPECT_EQ(l.Started().size(), 1u);
}

// Another process's placeholder that disappears, with its process, between the failed
// creation and the lookup.
class VanishingPlaceholder : public FakeShell {
 public:
  using FakeShell::FakeShell;
  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override {
    if (lookups_++ == 0) files.erase(file);
    return FakeShell::FindExecutableA(file, directory, result);
  }

 private:
  int lookups_ = 0;
};

TEST(DefaultBrowser, APlaceholderThatVanishesBeforeTheLookupIsReplacedByAnOwnOne) {
  CallLog log;
  VanishingPlaceholder shell(log);
  shell.files.insert(kPlaceholder);
  DefaultBrowser(shell).Open(nullptr, "u");
  EXPECT_EQ(CallsNamed(log, "CreateFileA").size(), 2u);
  EXPECT_EQ(CallsNamed(log, "FindExecutableA").size(), 2u);
  EXPECT_EQ(CallsNamed(log, "ShellExecuteA").size(), 1u);
}

TEST(DefaultBrowser, NoBrowserIsStartedWhenTheLookupFailsTwice) {
  Launch l;
  l.shell.files.insert(kPlaceholder);
  l.shell.findExecutableResult = 31;
  l.Open("u");
  EXPECT_EQ(CallsNamed(l.log, "FindExecutableA").size(), 2u);
  EXPECT_TRUE(l.Started().empty());
}

TEST(DefaultBrowser, NothingHappensWithoutATemporaryDirectory) {
  Launch tooLong;
  tooLong.shell.tempPath = std::string(300, 't');  // does not fit: the size needed comes back
  tooLong.Open("u");
  EXPECT_EQ(tooLong.log, CallLog{"GetTempPathA(260)"});

  Launch failed;
  failed.shell.tempPath = "";
  failed.Open("u");
  EXPECT_EQ(failed.log, CallLog{"GetTempPathA(260)"});
}

}  // namespace
