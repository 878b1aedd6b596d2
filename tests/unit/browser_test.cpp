#include <gtest/gtest.h>

#include "fake_system.h"
#include "shell/browser.h"

namespace {

const std::string kPlaceholder = "C:\\Temp\\www.htm";

// The browser launch on fake files and a fake shell.
struct Launch {
  CallLog log;
  FakeFiles files{log};
  FakeShell shell{log, files};
  void Open(const std::string& url, WindowHandle owner = nullptr) {
    DefaultBrowser(files, shell).Open(owner, url);
  }
  size_t Started() const { return shell.started.size(); }
};

TEST(DefaultBrowser, StartsTheHtmlProgramWithTheUrlUnchanged) {
  Launch l;
  const std::string url = "http://example.test/a page?x=\"1\"";
  l.Open(url);
  // The placeholder exists for the lookup, and the browser is started before its
  // deletion is asked for, which fails while this process holds it open: it goes with
  // the process.
  EXPECT_EQ(l.log, (CallLog{"TempDirectory()", "CreatePlaceholder(" + kPlaceholder + ")",
                            "FindExecutableA(" + kPlaceholder + ")", "ShellExecuteA()",
                            "Delete(" + kPlaceholder + ")"}));
  EXPECT_EQ(l.files.files.count(kPlaceholder), 1u);
  ASSERT_EQ(l.Started(), 1u);
  const FakeShell::Start& start = l.shell.started[0];
  EXPECT_EQ(start.file, l.shell.browserPath);
  EXPECT_EQ(start.parameters, url);
  EXPECT_FALSE(start.verbGiven);       // the program's default action
  EXPECT_FALSE(start.directoryGiven);  // the current directory
  EXPECT_EQ(start.showCommand, win::kShowNormal);
}

TEST(DefaultBrowser, PassesTheOwnerWindowItIsGiven) {
  Launch l;
  const auto owner = reinterpret_cast<WindowHandle>(0x77);
  l.Open("u", owner);
  ASSERT_EQ(l.Started(), 1u);
  EXPECT_EQ(l.shell.started[0].owner, owner);
}

TEST(DefaultBrowser, ResultsUpTo32MeanNoBrowser) {
  for (const intptr_t result : {intptr_t{31}, intptr_t{32}, intptr_t{33}}) {
    Launch l;
    l.shell.findExecutableResult = result;
    l.Open("u");
    EXPECT_EQ(l.Started(), result > 32 ? 1u : 0u) << result;
  }
}

TEST(DefaultBrowser, APlaceholderLeftByAnotherProcessIsUsedAsItIsThenDeleted) {
  Launch l;
  l.files.files[kPlaceholder] = "";
  l.Open("u");
  EXPECT_EQ(CallsNamed(l.log, "CreatePlaceholder").size(), 1u);
  EXPECT_EQ(l.Started(), 1u);
  EXPECT_EQ(l.files.files.count(kPlaceholder), 0u);
}

// Another process's placeholder that disappears, with its process, between the failed
// creation and the lookup.
class VanishingPlaceholder : public FakeShell {
 public:
  using FakeShell::FakeShell;
  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override {
    if (lookups_++ == 0) files.files.erase(file);
    return FakeShell::FindExecutableA(file, directory, result);
  }

 private:
  int lookups_ = 0;
};

TEST(DefaultBrowser, APlaceholderThatVanishesBeforeTheLookupIsReplacedByAnOwnOne) {
  CallLog log;
  FakeFiles files(log);
  VanishingPlaceholder shell(log, files);
  files.files[kPlaceholder] = "";
  DefaultBrowser(files, shell).Open(nullptr, "u");
  EXPECT_EQ(CallsNamed(log, "CreatePlaceholder").size(), 2u);
  EXPECT_EQ(CallsNamed(log, "FindExecutableA").size(), 2u);
  EXPECT_EQ(shell.started.size(), 1u);
}

TEST(DefaultBrowser, NoBrowserIsStartedWhenTheLookupFailsTwice) {
  Launch l;
  l.files.files[kPlaceholder] = "";
  l.shell.findExecutableResult = 31;
  l.Open("u");
  EXPECT_EQ(CallsNamed(l.log, "FindExecutableA").size(), 2u);
  EXPECT_EQ(l.Started(), 0u);
}

TEST(DefaultBrowser, NothingHappensWithoutATemporaryDirectory) {
  Launch none;
  none.files.tempDirectory = std::nullopt;
  none.Open("u");
  EXPECT_EQ(none.log, CallLog{"TempDirectory()"});
}

// The lookup alone, as falwick-info run reports it: the same placeholder and lookup as
// Open, and nothing started.
TEST(DefaultBrowser, TheLookupAloneFindsTheProgramAndStartsNothing) {
  Launch l;
  std::string program;
  EXPECT_EQ(DefaultBrowser(l.files, l.shell).FindProgram(program), 42);
  EXPECT_EQ(program, l.shell.browserPath);
  EXPECT_EQ(CallsNamed(l.log, "FindExecutableA"), CallLog{"FindExecutableA(" + kPlaceholder + ")"});
  EXPECT_EQ(l.Started(), 0u);

  Launch none;
  none.files.tempDirectory = std::nullopt;
  std::string nothing;
  EXPECT_EQ(DefaultBrowser(none.files, none.shell).FindProgram(nothing), 0);
  EXPECT_EQ(nothing, "");
}

}  // namespace
