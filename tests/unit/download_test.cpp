#include <gtest/gtest.h>

#include "fake_platform.h"
#include "update/download.h"

namespace {

using Calls = std::vector<std::string>;
const std::string kPath = "C:\\p\\info.txt";

TEST(DownloadConnect, OpensTheInternetHandleWhenOnLine) {
  FakePlatform platform;
  DownloadUpdateInfo download(platform);
  ASSERT_TRUE(download.Connect());
  EXPECT_EQ(platform.calls,
            (Calls{"InternetGetConnectedState(0)",
                   "InternetOpenA(Orvanel Program Update, 0, null, null, 0x0)",
                   "InternetSetOptionA(0x100, 2, 30000, 4)", "InternetSetOptionA(0x100, 5, 30000, 4)",
                   "InternetSetOptionA(0x100, 6, 30000, 4)"}));
}

TEST(DownloadConnect, OnlyAModemOrALocalNetworkCountsAsOnLine) {
  for (uint32_t flags : {0x01u, 0x02u, 0x03u, 0x12u}) {
    FakePlatform platform;
    platform.connectionFlags = flags;
    EXPECT_TRUE(DownloadUpdateInfo(platform).Connect()) << flags;
  }
  for (uint32_t flags : {0x00u, 0x04u, 0x10u, 0x30u}) {
    FakePlatform platform;
    platform.connectionFlags = flags;
    EXPECT_FALSE(DownloadUpdateInfo(platform).Connect()) << flags;
    EXPECT_EQ(platform.IndexOf("InternetOpenA"), -1);
  }
  FakePlatform failing;
  failing.connectedResult = false;
  EXPECT_FALSE(DownloadUpdateInfo(failing).Connect());
  EXPECT_EQ(failing.IndexOf("InternetOpenA"), -1);
}

TEST(DownloadConnect, AFailedOpenEndsWithoutAHandleToClose) {
  FakePlatform platform;
  platform.internetOpenFails = true;
  {
    DownloadUpdateInfo download(platform);
    EXPECT_FALSE(download.Connect());
  }
  EXPECT_TRUE(platform.CallsNamed("InternetCloseHandle").empty());
  EXPECT_TRUE(platform.CallsNamed("InternetSetOptionA").empty());
}

TEST(DownloadFetch, CopiesTheBodyIn1024ByteReadsAnd4096ByteWrites) {
  FakePlatform platform;
  for (int i = 0; i < 10000; ++i) platform.body += static_cast<char>(i * 7);
  DownloadUpdateInfo download(platform);
  ASSERT_TRUE(download.Connect());
  platform.calls.clear();
  ASSERT_TRUE(download.Fetch("http://h/info.txt", kPath));
  download.Close();

  EXPECT_EQ(platform.files[kPath], platform.body);
  EXPECT_EQ(platform.writeSizes, (std::vector<size_t>{4096, 4096, 1808}));
  const auto reads = platform.CallsNamed("InternetReadFile");
  EXPECT_EQ(reads.size(), 11u);  // ten with data, one with none
  for (const auto& read : reads) EXPECT_EQ(read, "InternetReadFile(0x200, 1024)");
  EXPECT_EQ(platform.calls.front(), "ArmDeadline(0x100, 60000)");
  EXPECT_EQ(platform.calls[1], "InternetOpenUrlA(0x100, http://h/info.txt, null, 0, 0x20000000, 0)");
  EXPECT_EQ(platform.calls[2], "FsOpen(C:\\p\\info.txt, wb, 0x10)");
  const Calls tail(platform.calls.end() - 4, platform.calls.end());
  EXPECT_EQ(tail, (Calls{"FClose(C:\\p\\info.txt)", "DisarmDeadline(0x400)",
                         "InternetCloseHandle(0x200)", "InternetCloseHandle(0x100)"}));
}

TEST(DownloadFetch, AnURLThatCannotBeOpenedFails) {
  FakePlatform platform;
  platform.urlOpenFails = true;
  DownloadUpdateInfo download(platform);
  ASSERT_TRUE(download.Connect());
  EXPECT_FALSE(download.Fetch("http://h/i", kPath));
  EXPECT_EQ(platform.IndexOf("FsOpen"), -1);
  EXPECT_EQ(platform.files.count(kPath), 0u);
}

TEST(DownloadFetch, AnUnwritableFileSkipsTheBodyButSucceeds) {
  FakePlatform platform;
  platform.readOnly.insert(kPath);
  platform.body = "VERSION=9";
  DownloadUpdateInfo download(platform);
  ASSERT_TRUE(download.Connect());
  EXPECT_TRUE(download.Fetch("http://h/i", kPath));
  EXPECT_EQ(platform.IndexOf("InternetReadFile"), -1);
  EXPECT_EQ(platform.CallsNamed("InternetCloseHandle").front(), "InternetCloseHandle(0x200)");
}

TEST(DownloadFetch, AFailedReadEndsTheCopyKeepingWhatArrived) {
  FakePlatform platform;
  platform.body = std::string(3000, 'b');
  platform.readFails = true;
  DownloadUpdateInfo download(platform);
  ASSERT_TRUE(download.Connect());
  EXPECT_TRUE(download.Fetch("http://h/i", kPath));
  EXPECT_EQ(platform.files[kPath], std::string(1024, 'b'));
}

TEST(DownloadFetch, AFullDiskStopsTheCopyKeepingWhatWasWritten) {
  FakePlatform platform;
  platform.body = std::string(20000, 'd');
  platform.writeCapacity = 5000;
  DownloadUpdateInfo download(platform);
  ASSERT_TRUE(download.Connect());
  EXPECT_TRUE(download.Fetch("http://h/i", kPath));
  EXPECT_EQ(platform.files[kPath].size(), 5000u);
  // The failed write ends the copy: no reading through the rest of the body.
  EXPECT_LT(platform.CallsNamed("InternetReadFile").size(), 12u);
}

TEST(DownloadFetch, StoresAtMost16MiB) {
  FakePlatform platform;
  platform.body = std::string(DownloadUpdateInfo::kMaxStoredBytes + 5000, 'z');
  DownloadUpdateInfo download(platform);
  ASSERT_TRUE(download.Connect());
  EXPECT_TRUE(download.Fetch("http://h/i", kPath));
  EXPECT_EQ(platform.files[kPath].size(), DownloadUpdateInfo::kMaxStoredBytes);
}

TEST(DownloadFetch, ADeadlineThatFiredLeavesNoHandleToClose) {
  FakePlatform platform;
  platform.body = "VERSION=9";
  platform.deadlineFires = true;
  {
    DownloadUpdateInfo download(platform);
    ASSERT_TRUE(download.Connect());
    EXPECT_TRUE(download.Fetch("http://h/i", kPath));
    download.Close();
  }
  EXPECT_TRUE(platform.CallsNamed("InternetCloseHandle").empty());
  EXPECT_EQ(platform.files[kPath], "VERSION=9");
}

}  // namespace
