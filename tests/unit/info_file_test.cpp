#include <gtest/gtest.h>

#include "fake_system.h"
#include "update/info_file.h"

namespace {

const ProgramVersion kInstalled{3.0, 20};
const std::string kPath = "C:\\p\\info.txt";

TEST(ReadUpdateInfo, ReadsTheFileThenDeletesIt) {
  CallLog log;
  FakeFiles files(log);
  files.files[kPath] = "VERSION=4.0\r\nBUILD=2\r\n";
  const auto info = ReadUpdateInfo(files, kPath, kInstalled);
  EXPECT_EQ(info.newest.version, 4.0);
  EXPECT_EQ(info.newest.build, 2);
  // The fake, like Windows, deletes no open file: it was closed first.
  EXPECT_EQ(files.files.count(kPath), 0u);
}

TEST(ReadUpdateInfo, AFileThatCannotBeOpenedLeavesTheInstalledVersionAndIsStillDeleted) {
  CallLog log;
  FakeFiles files(log);
  files.files[kPath] = "VERSION=9\n";
  files.unreadable.insert(kPath);
  const auto info = ReadUpdateInfo(files, kPath, kInstalled);
  EXPECT_EQ(info.newest.version, kInstalled.version);
  EXPECT_EQ(info.newest.build, kInstalled.build);
  EXPECT_EQ(files.files.count(kPath), 0u);
}

TEST(ReadUpdateInfo, AReadErrorKeepsWhatWasReadBeforeIt) {
  CallLog log;
  FakeFiles files(log);
  files.files[kPath] = "BUILD=30\nVERSION=9\n";
  files.readFailsAt = 10;
  const auto info = ReadUpdateInfo(files, kPath, kInstalled);
  EXPECT_EQ(info.newest.build, 30);
  EXPECT_EQ(info.newest.version, 3.0);
}

}  // namespace
