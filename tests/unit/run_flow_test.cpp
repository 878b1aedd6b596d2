#include <gtest/gtest.h>

#include "app/update_check_app.h"
#include "fake_platform.h"

namespace {

using Calls = std::vector<std::string>;

const std::string kDir = "C:\\Apps\\Writer\\";
const std::string kInfo = kDir + "info.txt";
const std::string kIni = kDir + "writer.ini";
const std::string kSettingKey = kIni + "|Options|NoUpdateCheck";
const char kDownload[] = "http://example.test/get writer.htm";

std::string CommandLine(const std::string& mode, const std::string& installed = "3.0.020") {
  return "<Writer><" + mode + "><http://example.test/info.txt><info.txt><" + installed +
         "><writer.ini><Options><NoUpdateCheck><" + kDownload + ">";
}

struct RunFlow : ::testing::Test {
  FakePlatform platform;
  CUpdateCheckApp app{platform};

  void SetUp() override { platform.app = &app; }
  void Run(const std::string& commandLine) { EXPECT_FALSE(app.InitInstance(commandLine.c_str())); }
  bool BrowserOpened() const { return !platform.CallsNamed("ShellExecuteA").empty(); }
  std::string Setting() { return platform.profile.count(kSettingKey) ? platform.profile[kSettingKey] : "(none)"; }
};

TEST_F(RunFlow, NothingIsTouchedForAnEmptyOrUnusableCommandLine) {
  for (const std::string& line :
       {std::string(), std::string("<Writer>"), std::string("junk"), CommandLine("PQ"),
        CommandLine("PU") + "<extra>", std::string("<Writer><PU><a><b><c><d><e><f>")}) {
    FakePlatform fresh;
    CUpdateCheckApp freshApp(fresh);
    EXPECT_FALSE(freshApp.InitInstance(line.c_str()));
    EXPECT_EQ(fresh.IndexOf("DeleteFileA"), -1) << line;
    EXPECT_EQ(fresh.IndexOf("InternetGetConnectedState"), -1) << line;
  }
}

TEST_F(RunFlow, ACheckRunsItsStepsInOrder) {
  platform.body = "VERSION=3.0\r\nBUILD=20\r\n";
  Run(CommandLine("PU"));
  const int deleteBefore = platform.IndexOf("DeleteFileA");
  EXPECT_EQ(platform.calls[deleteBefore], "DeleteFileA(" + kInfo + ")");
  EXPECT_LT(deleteBefore, platform.IndexOf("InternetGetConnectedState"));
  EXPECT_LT(platform.IndexOf("InternetOpenUrlA"), platform.IndexOf("FsOpen"));
  const Calls tail(platform.calls.end() - 5, platform.calls.end());
  EXPECT_EQ(tail, (Calls{"InternetCloseHandle(0x200)", "FsOpen(" + kInfo + ", rb, 0x10)",
                         "FClose(" + kInfo + ")", "DeleteFileA(" + kInfo + ")",
                         "InternetCloseHandle(0x100)"}));
  EXPECT_FALSE(platform.dialogRan);
  EXPECT_FALSE(BrowserOpened());
  EXPECT_EQ(platform.files.count(kInfo), 0u);
}

TEST_F(RunFlow, AStaleInfoFileIsDeletedBeforeTheDownload) {
  platform.files[kInfo] = "VERSION=99\n";
  platform.body = "VERSION=1\n";
  Run(CommandLine("PU"));
  EXPECT_FALSE(platform.dialogRan);
}

TEST_F(RunFlow, AReadOnlyStaleInfoFileIsReadInPlaceOfTheDownload) {
  platform.files[kInfo] = "VERSION=99\n";
  platform.readOnly.insert(kInfo);
  platform.body = "VERSION=1\n";
  Run(CommandLine("PU"));
  EXPECT_TRUE(platform.dialogRan);
}

TEST_F(RunFlow, OffLineOrUnreachableEndsQuietlyInBothModes) {
  for (const char* mode : {"PU", "PX"}) {
    FakePlatform offline;
    offline.connectionFlags = 0x04;
    CUpdateCheckApp a(offline);
    a.InitInstance(CommandLine(mode).c_str());
    EXPECT_EQ(offline.IndexOf("InternetOpenA"), -1);
    EXPECT_EQ(offline.IndexOf("ShellExecuteA"), -1);

    FakePlatform unreachable;
    unreachable.urlOpenFails = true;
    CUpdateCheckApp b(unreachable);
    b.InitInstance(CommandLine(mode).c_str());
    EXPECT_EQ(unreachable.IndexOf("ShellExecuteA"), -1);
    EXPECT_EQ(unreachable.IndexOf("GetPrivateProfileStringA"), -1);
    EXPECT_EQ(unreachable.calls.back(), "InternetCloseHandle(0x100)");
  }
}

TEST_F(RunFlow, TheExplicitCheckOpensThePageAtOnceWhenNothingIsNewer) {
  platform.body = "<html>404</html>";
  Run(CommandLine("px"));
  EXPECT_FALSE(platform.dialogRan);
  const auto opened = platform.CallsNamed("ShellExecuteA");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], std::string("ShellExecuteA(null, null, C:\\Browsers\\browser.exe, ") +
                           kDownload + ", null, 1)");
  EXPECT_EQ(platform.calls.back(), "InternetCloseHandle(0x100)");  // after the browser
  EXPECT_EQ(Setting(), "(none)");
}

TEST_F(RunFlow, ANewerVersionShowsTheNoticeWithProductAndDisplayVersion) {
  platform.body = "VERSION=3.5\nBUILD=14\n";
  Run(CommandLine("PU"));
  ASSERT_TRUE(platform.dialogRan);
  EXPECT_EQ(platform.dialogShown.productName, "Writer");
  EXPECT_EQ(platform.dialogShown.displayVersion, "3.0.014");
  EXPECT_EQ(platform.dialogShown.noticeText, "");
  EXPECT_EQ(platform.mainWindowDuringDialog, reinterpret_cast<void*>(FakePlatform::kDialogWindow));
  EXPECT_EQ(app.MainWindow(), nullptr);
}

TEST_F(RunFlow, TheMakersMessagesBecomeTheNoticeText) {
  platform.body = "VERSION=4\nMESSAGE1=One\nMESSAGE3=Three\n";
  Run(CommandLine("PU"));
  EXPECT_EQ(platform.dialogShown.noticeText, "One\r\n\r\nThree");
}

TEST_F(RunFlow, TheSettingIsReadBeforeAndWrittenAfterTheDialog_ThenThePageOpensOnYes) {
  platform.body = "VERSION=4\n";
  platform.profile[kSettingKey] = "2";
  Run(CommandLine("PU"));
  const int read = platform.IndexOf("GetPrivateProfileStringA");
  const int dialog = platform.IndexOf("DoModal");
  const int write = platform.IndexOf("WritePrivateProfileStringA");
  const int open = platform.IndexOf("ShellExecuteA");
  EXPECT_TRUE(read < dialog && dialog < write && write < open) << read << dialog << write << open;
  EXPECT_EQ(platform.dialogShown.disableChecking, 1);
  EXPECT_EQ(platform.calls[write],
            "WritePrivateProfileStringA(Options, NoUpdateCheck, 1, " + kIni + ")");
  EXPECT_EQ(platform.calls[open], std::string("ShellExecuteA(null, null, C:\\Browsers\\browser.exe, ") +
                                      kDownload + ", null, 1)");
}

TEST_F(RunFlow, TheBoxAsTheUserLeftItIsStoredWhateverTheAnswer) {
  struct Case {
    int result;
    int32_t box;
    const char* stored;
    bool opens;
  };
  for (const Case c : {Case{1, 0, "0", true}, Case{2, 1, "1", false}, Case{2, 0, "0", false},
                       Case{-1, 0, "0", false}, Case{0, 1, "1", false}}) {
    FakePlatform p;
    p.body = "BUILD=21\n";
    p.profile[kSettingKey] = "yes";
    p.dialogResult = c.result;
    p.boxAfterDialog = c.box;
    CUpdateCheckApp a(p);
    a.InitInstance(CommandLine("PX").c_str());
    EXPECT_EQ(p.dialogShown.disableChecking, 0);
    EXPECT_EQ(p.profile[kSettingKey], c.stored) << c.result;
    EXPECT_EQ(!p.CallsNamed("ShellExecuteA").empty(), c.opens) << c.result;
  }
}

TEST_F(RunFlow, InfoAndSettingsNamingTheSameFileEndTheRunBeforeAnythingIsDeleted) {
  platform.files[kIni] = "[Options]\r\n";
  Run("<Writer><PU><http://h/i><WRITER.ini><1.0><writer.INI><Options><K><http://d>");
  EXPECT_EQ(platform.IndexOf("DeleteFileA"), -1);
  EXPECT_EQ(platform.IndexOf("InternetGetConnectedState"), -1);
  EXPECT_EQ(platform.files.count(kIni), 1u);
}

TEST_F(RunFlow, AModulePathCutShortEndsTheRunBeforeAnythingIsTouched) {
  platform.modulePath = "C:\\" + std::string(300, 'd') + "\\Falwick.EXE";
  platform.moduleResult = 260;
  Run(CommandLine("PU"));
  EXPECT_EQ(platform.calls, (Calls{"GetModuleFileNameA(260)"}));
}

TEST_F(RunFlow, TheProgramDirectoryPrefixesTheFileNames) {
  platform.modulePath = "Falwick.EXE";  // no backslash at all
  platform.body = "VERSION=4\n";
  Run(CommandLine("PU"));
  EXPECT_EQ(platform.calls[1], "DeleteFileA(Falwick.EXE\\info.txt)");
}

TEST_F(RunFlow, AnUnreadableInstalledVersionCountsAsTheOldest) {
  platform.body = "VERSION=0.5\n";
  Run(CommandLine("PU", "unknown"));
  EXPECT_TRUE(platform.dialogRan);
}

}  // namespace
