#include <gtest/gtest.h>

#include "app/update_check_app.h"
#include "fake_roles.h"

namespace {

const std::string kDir = "C:\\Apps\\Writer\\";
const std::string kInfo = kDir + "info.txt";
const std::string kIni = kDir + "writer.ini";
const std::string kSetting = kIni + "|Options|NoUpdateCheck";
const std::string kInfoUrl = "http://example.test/info.txt";
const std::string kDownload = "http://example.test/get writer.htm";

std::string CommandLine(const std::string& mode, const std::string& installed = "3.0.020") {
  return "<Writer><" + mode + "><" + kInfoUrl + "><info.txt><" + installed +
         "><writer.ini><Options><NoUpdateCheck><" + kDownload + ">";
}

// One process's worth of parts, and the application on them.
struct World {
  CallLog log;
  FakeFiles files{log};
  FakeDownload download{log, files};
  FakeSetting setting{log};
  FakeNotice notice{log};
  FakeBrowser browser{log};
  CUpdateCheckApp app{files, download, setting, notice, browser};

  RunEnd end{};

  World() { notice.app = &app; }
  void Start(const std::string& line) { end = app.Run(line.c_str()); }
  bool Asked() const { return IndexOf(log, "Ask") >= 0; }
  CallLog Opened() const { return CallsNamed(log, "Open"); }
};

struct RunFlow : ::testing::Test, World {};

TEST_F(RunFlow, NothingIsTouchedForAnEmptyOrUnusableCommandLine) {
  for (const std::string& line :
       {std::string(), std::string("<Writer>"), std::string("junk"), CommandLine("PQ"),
        CommandLine("PU") + "<extra>", std::string("<Writer><PU><a><b><c><d><e><f>")}) {
    World fresh;
    fresh.Start(line);
    EXPECT_EQ(fresh.log, CallLog{}) << line;
    EXPECT_EQ(fresh.end, line.empty() ? RunEnd::kEmptyCommandLine : RunEnd::kBadCommandLine)
        << line;
  }
  EXPECT_FALSE(app.InitInstance(CommandLine("PU").c_str()));  // the process never stays
}

TEST_F(RunFlow, ACheckRunsItsStepsInOrder) {
  download.body = "VERSION=3.0\r\nBUILD=20\r\n";
  Start(CommandLine("PU"));
  EXPECT_EQ(log, (CallLog{"Delete(" + kInfo + ")", "Connect()",
                          "Fetch(" + kInfoUrl + ", " + kInfo + ")", "OpenForWriting(" + kInfo + ")",
                          "CloseFile(" + kInfo + ")", "OpenForReading(" + kInfo + ")",
                          "CloseFile(" + kInfo + ")", "Delete(" + kInfo + ")", "Close()"}));
  EXPECT_EQ(files.files.count(kInfo), 0u);
  EXPECT_EQ(end, RunEnd::kNotNewer);
}

TEST_F(RunFlow, AStaleInfoFileIsDeletedBeforeTheDownload) {
  files.files[kInfo] = "VERSION=99\n";
  download.body = "VERSION=1\n";
  Start(CommandLine("PU"));
  EXPECT_FALSE(Asked());
}

TEST_F(RunFlow, AReadOnlyStaleInfoFileIsReadInPlaceOfTheDownload) {
  files.files[kInfo] = "VERSION=99\n";
  files.readOnly.insert(kInfo);
  download.body = "VERSION=1\n";
  Start(CommandLine("PU"));
  EXPECT_TRUE(Asked());
  EXPECT_EQ(end, RunEnd::kNewer);
}

TEST_F(RunFlow, OffLineOrUnreachableEndsQuietlyInBothModes) {
  for (const char* mode : {"PU", "PX"}) {
    World offline;
    offline.download.online = false;
    offline.Start(CommandLine(mode));
    EXPECT_EQ(offline.log.back(), "Connect()") << mode;
    EXPECT_EQ(offline.end, RunEnd::kOffline) << mode;

    World unreachable;
    unreachable.download.urlOpens = false;
    unreachable.Start(CommandLine(mode));
    EXPECT_EQ(unreachable.log.back(), "Close()") << mode;
    EXPECT_EQ(unreachable.end, RunEnd::kUrlNotOpened) << mode;
    EXPECT_EQ(IndexOf(unreachable.log, "OpenForReading"), -1) << mode;
    EXPECT_TRUE(unreachable.Opened().empty()) << mode;
    EXPECT_EQ(IndexOf(unreachable.log, "ReadSetting"), -1) << mode;
  }
}

TEST_F(RunFlow, TheExplicitCheckOpensThePageAtOnceWhenNothingIsNewer) {
  download.body = "<html>404</html>";
  Start(CommandLine("px"));
  EXPECT_FALSE(Asked());
  EXPECT_EQ(Opened(), CallLog{"Open(null, " + kDownload + ")"});
  EXPECT_EQ(log.back(), "Close()");  // after the browser
  EXPECT_TRUE(setting.stored.empty());
  EXPECT_EQ(end, RunEnd::kNotNewer);
}

TEST_F(RunFlow, ANewerVersionShowsTheNoticeWithProductAndDisplayVersion) {
  download.body = "VERSION=3.5\nBUILD=14\n";
  Start(CommandLine("PU"));
  ASSERT_TRUE(Asked());
  EXPECT_EQ(notice.shown.productName, "Writer");
  EXPECT_EQ(notice.shown.displayVersion, "3.0.014");
  EXPECT_EQ(notice.shown.noticeText, "");
  EXPECT_EQ(notice.mainWindowWhileShown, reinterpret_cast<WindowHandle>(FakeNotice::kWindow));
  EXPECT_EQ(app.MainWindow(), nullptr);
  EXPECT_EQ(end, RunEnd::kNewer);
}

TEST_F(RunFlow, TheMakersMessagesBecomeTheNoticeText) {
  download.body = "VERSION=4\nMESSAGE1=One\nMESSAGE3=Three\n";
  Start(CommandLine("PU"));
  EXPECT_EQ(notice.shown.noticeText, "One\r\n\r\nThree");
}

TEST_F(RunFlow, TheSettingIsReadBeforeAndWrittenAfterTheDialog_ThenThePageOpensOnYes) {
  download.body = "VERSION=4\n";
  setting.stored[kSetting] = 1;
  Start(CommandLine("PU"));
  const int read = IndexOf(log, "ReadSetting");
  const int ask = IndexOf(log, "Ask");
  const int write = IndexOf(log, "WriteSetting");
  const int open = IndexOf(log, "Open");
  EXPECT_TRUE(read < ask && ask < write && write < open) << read << ask << write << open;
  EXPECT_EQ(notice.shown.disableChecking, 1);
  EXPECT_EQ(log[write], "WriteSetting(" + kSetting + ", 1)");
  EXPECT_EQ(log[open], "Open(null, " + kDownload + ")");
}

TEST_F(RunFlow, TheBoxAsTheUserLeftItIsStoredWhateverTheAnswer) {
  struct Case {
    NoticeAnswer answer;
    int32_t boxLeft;  // -1: untouched, as when the dialog could not be shown
    int32_t stored;
    bool opens;
  };
  for (const Case c : {Case{NoticeAnswer::kYes, 0, 0, true}, Case{NoticeAnswer::kNo, 1, 1, false},
                       Case{NoticeAnswer::kNo, 0, 0, false}, Case{NoticeAnswer::kNo, -1, 0, false},
                       Case{NoticeAnswer::kYes, 1, 1, true}}) {
    World w;
    w.download.body = "BUILD=21\n";
    w.notice.answer = c.answer;
    w.notice.boxLeft = c.boxLeft;
    w.Start(CommandLine("PX"));
    EXPECT_EQ(w.notice.shown.disableChecking, 0);
    EXPECT_EQ(w.setting.stored[kSetting], c.stored) << c.boxLeft;
    EXPECT_EQ(w.Opened().size(), c.opens ? 1u : 0u) << c.boxLeft;
  }
}

// Every name Windows accepts for the host's settings file, given as the info file: the
// run ends before anything is deleted, whether or not the settings file exists yet.
TEST_F(RunFlow, AnInfoFileThatIsTheSettingsFileUnderAnyNameEndsTheRunUntouched) {
  struct Case {
    const char* infoName;
    bool settingsExist;
    RunEnd end;
  };
  const Case cases[] = {
      {"WRITER.INI", false, RunEnd::kSameFile},         {"writer.ini ", false, RunEnd::kSameFile},
      {"writer.ini.", false, RunEnd::kSameFile},        {"writer.ini..", true, RunEnd::kSameFile},
      {".\\writer.ini", true, RunEnd::kSameFile},       {"sub\\..\\writer.ini", false, RunEnd::kSameFile},
      {"WRITER~1.INI", true, RunEnd::kSameFile},        {"writer.ini::$DATA", true, RunEnd::kSameFile},
      {"linked.ini", true, RunEnd::kSameFile},          // a hard or symbolic link to it
      {"WRITER~1.INI", false, RunEnd::kNotNewer},       // no file: no short name either
      {"stale.txt", true, RunEnd::kNotNewer},           // another file, stale, is replaced
      {"writer.ini.txt", true, RunEnd::kNotNewer},
  };
  const std::string kSettings = "[Options]\r\nNoUpdateCheck=1\r\n[Window]\r\nLeft=10\r\n";
  for (const Case& c : cases) {
    World w;
    w.download.body = "VERSION=1\n";
    w.files.files[kDir + "stale.txt"] = "VERSION=99\n";
    if (c.settingsExist) {
      w.files.files[kIni] = kSettings;
      for (const char* alias : {"WRITER~1.INI", "writer.ini::$DATA", "linked.ini"}) {
        w.files.aliases[kDir + alias] = kIni;
      }
    }
    w.Start("<Writer><PU><http://h/i><" + std::string(c.infoName) +
            "><3.0.020><writer.ini><Options><K><http://d>");
    EXPECT_EQ(w.end, c.end) << c.infoName;
    EXPECT_TRUE(c.end != RunEnd::kSameFile || w.log.empty()) << c.infoName;
    EXPECT_EQ(w.files.files.count(kIni) != 0, c.settingsExist) << c.infoName;
    EXPECT_EQ(w.files.files[kIni], c.settingsExist ? kSettings : "") << c.infoName;
  }
}

TEST_F(RunFlow, AModulePathCutShortEndsTheRunBeforeAnythingIsTouched) {
  files.modulePath = std::nullopt;
  Start(CommandLine("PU"));
  EXPECT_EQ(log, CallLog{});
  EXPECT_EQ(end, RunEnd::kPathTooLong);
}

TEST_F(RunFlow, TheProgramDirectoryPrefixesTheFileNames) {
  files.modulePath = "Falwick.EXE";  // no backslash at all
  download.body = "VERSION=4\n";
  Start(CommandLine("PU"));
  EXPECT_EQ(log.front(), "Delete(Falwick.EXE\\info.txt)");
  EXPECT_EQ(CallsNamed(log, "WriteSetting"),
            CallLog{"WriteSetting(Falwick.EXE\\writer.ini|Options|NoUpdateCheck, 0)"});
}

TEST_F(RunFlow, AnUnreadableInstalledVersionCountsAsTheOldest) {
  download.body = "VERSION=0.5\n";
  Start(CommandLine("PU", "unknown"));
  EXPECT_TRUE(Asked());
}

}  // namespace
