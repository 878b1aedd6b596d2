#include <gtest/gtest.h>

#include "fake_system.h"
#include "update/download.h"

namespace {

const std::string kPath = "C:\\p\\info.txt";

// A download on fakes that share one log.
struct Fixture {
  CallLog log;
  FakeInternet internet{log};
  FakeFiles files{log};
  DownloadUpdateInfo download{internet, files};

  // Connects, forgets the calls that took, and fetches `url`.
  bool ConnectAndFetch(const std::string& url = "http://h/i") {
    EXPECT_TRUE(download.Connect());
    log.clear();
    return download.Fetch(url, kPath);
  }
  CallLog Closed() const { return CallsNamed(log, "InternetCloseHandle"); }
};

TEST(DownloadConnect, OpensTheInternetHandleWhenOnLine) {
  Fixture f;
  ASSERT_TRUE(f.download.Connect());
  // The deadline is armed before the connectivity test, which is made through it.
  EXPECT_EQ(f.log,
            (CallLog{"ArmDeadline(60000)", "InternetGetConnectedState(0)",
                     "InternetOpenA(Orvanel Program Update, 0, null, null, 0x0)",
                     "InternetSetOptionA(0x100, 2, 30000, 4)", "InternetSetOptionA(0x100, 5, 30000, 4)",
                     "InternetSetOptionA(0x100, 6, 30000, 4)"}));
}

TEST(DownloadConnect, OnlyAModemOrALocalNetworkCountsAsOnLine) {
  for (uint32_t flags : {0x01u, 0x02u, 0x03u, 0x12u}) {
    Fixture f;
    f.internet.connectionFlags = flags;
    EXPECT_TRUE(f.download.Connect()) << flags;
  }
  for (uint32_t flags : {0x00u, 0x04u, 0x10u, 0x30u}) {
    Fixture f;
    f.internet.connectionFlags = flags;
    EXPECT_FALSE(f.download.Connect()) << flags;
    EXPECT_EQ(IndexOf(f.log, "InternetOpenA"), -1);
  }
  Fixture failing;
  failing.internet.connectedResult = false;
  EXPECT_FALSE(failing.download.Connect());
  EXPECT_EQ(IndexOf(failing.log, "InternetOpenA"), -1);
}

TEST(DownloadConnect, AFailedOpenEndsWithoutAHandleToClose) {
  CallLog log;
  FakeInternet internet(log);
  FakeFiles files(log);
  internet.internetOpenFails = true;
  {
    DownloadUpdateInfo download(internet, files);
    EXPECT_FALSE(download.Connect());
  }
  EXPECT_TRUE(CallsNamed(log, "InternetCloseHandle").empty());
  EXPECT_TRUE(CallsNamed(log, "InternetSetOptionA").empty());
}

TEST(DownloadFetch, CopiesTheBodyIn1024ByteReadsAnd4096ByteWritesUnderTheDeadline) {
  Fixture f;
  for (int i = 0; i < 10000; ++i) f.internet.body += static_cast<char>(i * 7);
  ASSERT_TRUE(f.ConnectAndFetch("http://h/info.txt"));
  f.download.Close();

  EXPECT_EQ(f.files.files[kPath], f.internet.body);
  EXPECT_EQ(f.files.writeSizes, (std::vector<size_t>{4096, 4096, 1808}));
  const CallLog reads = CallsNamed(f.log, "InternetReadFile");
  EXPECT_EQ(reads.size(), 11u);  // ten with data, one with none
  for (const auto& read : reads) EXPECT_EQ(read, "InternetReadFile(0x200, 1024)");
  EXPECT_EQ(f.log.front(), "InternetOpenUrlA(0x100, http://h/info.txt, null, 0, 0x20000000, 0)");
  // The URL handle is closed by the fetch, the Internet handle by Close, each once; the
  // deadline that Connect armed ends last.
  EXPECT_EQ(f.Closed(), (CallLog{"InternetCloseHandle(0x200)", "InternetCloseHandle(0x100)"}));
  EXPECT_EQ(f.log.back(), "DisarmDeadline()");
  EXPECT_TRUE(f.internet.handleFaults.empty());
  EXPECT_TRUE(f.internet.openHandles.empty());
}

TEST(DownloadFetch, AnURLThatCannotBeOpenedFails) {
  Fixture f;
  f.internet.urlOpenFails = true;
  EXPECT_FALSE(f.ConnectAndFetch());
  EXPECT_EQ(f.files.files.count(kPath), 0u);
  EXPECT_TRUE(f.Closed().empty());
}

TEST(DownloadFetch, AnUnwritableFileSkipsTheBodyButSucceeds) {
  Fixture f;
  f.files.readOnly.insert(kPath);
  f.internet.body = "VERSION=9";
  EXPECT_TRUE(f.ConnectAndFetch());
  EXPECT_EQ(IndexOf(f.log, "InternetReadFile"), -1);
  EXPECT_EQ(f.Closed(), CallLog{"InternetCloseHandle(0x200)"});
}

TEST(DownloadFetch, AFailedReadEndsTheCopyKeepingWhatArrived) {
  Fixture f;
  f.internet.body = std::string(3000, 'b');
  f.internet.readFails = true;
  EXPECT_TRUE(f.ConnectAndFetch());
  EXPECT_EQ(f.files.files[kPath], std::string(1024, 'b'));
}

TEST(DownloadFetch, AFullDiskStopsTheCopyKeepingWhatWasWritten) {
  Fixture f;
  f.internet.body = std::string(20000, 'd');
  f.files.writeCapacity = 5000;
  EXPECT_TRUE(f.ConnectAndFetch());
  EXPECT_EQ(f.files.files[kPath].size(), 5000u);
  // The failed write ends the copy: no reading through the rest of the body.
  EXPECT_LT(CallsNamed(f.log, "InternetReadFile").size(), 12u);
}

TEST(DownloadFetch, StoresAtMost16MiB) {
  Fixture f;
  f.internet.body = std::string(DownloadUpdateInfo::kMaxStoredBytes + 5000, 'z');
  EXPECT_TRUE(f.ConnectAndFetch());
  EXPECT_EQ(f.files.files[kPath].size(), DownloadUpdateInfo::kMaxStoredBytes);
}

// Each call that can wait blocks for ever in turn. The deadline abandons it; the run goes
// on with what was stored, and no handle is closed after that, so none is closed while
// the blocked call may use it, nor twice. A download destroyed without Close (the end of
// the program) closes nothing either.
TEST(DownloadDeadline, ACallThatNeverReturnsIsAbandonedAndItsHandlesAreLeftAlone) {
  struct Case {
    const char* blocked;
    int call;  // through the deadline: 0 the connectivity test, 1 the open, 2... reads
    bool connected;
    bool opened;
    std::string stored;
  };
  const std::string arrived(2048, 'v');  // two reads' worth before the stall
  for (const Case& c : {Case{"connectivity test", 0, false, false, "(none)"},
                        Case{"open", 1, true, false, "(none)"},
                        Case{"first read", 2, true, true, ""},
                        Case{"third read", 4, true, true, arrived}}) {
    for (const bool closed : {true, false}) {
      CallLog log;
      FakeInternet internet(log);
      FakeFiles files(log);
      internet.body = std::string(5000, 'v');
      internet.deadlineFiresAt = c.call;
      bool opened = false;
      {
        DownloadUpdateInfo download(internet, files);
        const bool connected = download.Connect();
        EXPECT_EQ(connected, c.connected) << c.blocked;
        if (connected) opened = download.Fetch("http://h/i", kPath);
        if (closed) download.Close();
      }
      EXPECT_EQ(opened, c.opened) << c.blocked;
      const auto file = files.files.find(kPath);
      EXPECT_EQ(file != files.files.end() ? file->second : "(none)", c.stored) << c.blocked;
      EXPECT_TRUE(CallsNamed(log, "InternetCloseHandle").empty()) << c.blocked;
      EXPECT_EQ(internet.handleFaults, std::vector<std::string>{}) << c.blocked;
      // The blocked call is the last one made through the deadline.
      EXPECT_EQ(CallsNamed(log, "InternetReadFile").size(),
                static_cast<size_t>(c.call > 1 ? c.call - 1 : 0)) << c.blocked;
      EXPECT_EQ(log.back(), "DisarmDeadline()") << c.blocked;
    }
  }
}

}  // namespace
