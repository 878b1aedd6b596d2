#include <gtest/gtest.h>

#include "fake_system.h"
#include "memory_source.h"
#include "update/info_file.h"

namespace {

const ProgramVersion kInstalled{3.0, 20};

UpdateInfo Read(const std::string& file) {
  UpdateInfo info;
  info.newest = kInstalled;
  MemorySource source(file);
  ReadUpdateInfoText(source, info);
  return info;
}

TEST(TrimSpaces, RemovesOnlySpacesAtBothEnds) {
  std::string text = "  a b \t ";
  TrimSpaces(text);
  EXPECT_EQ(text, "a b \t");
  std::string spaces = "    ";
  TrimSpaces(spaces);
  EXPECT_EQ(spaces, "");
  std::string empty;
  TrimSpaces(empty);
  EXPECT_EQ(empty, "");
}

TEST(UpdateInfoFile, ReadsVersionBuildAndMessages) {
  const auto info = Read(
      "VERSION=3.5\r\nBUILD=14\r\nMESSAGE1=This release adds faster printing.\r\n"
      "MESSAGE2=The update is free for all users.\r\n");
  EXPECT_EQ(info.newest.version, 3.5);
  EXPECT_EQ(info.newest.build, 14);
  EXPECT_EQ(info.messages[0], "This release adds faster printing.");
  EXPECT_EQ(info.messages[1], "The update is free for all users.");
  EXPECT_EQ(info.messages[2], "");
}

TEST(UpdateInfoFile, KeysAreCaseSensitivePrefixesAfterLeadingSpaces) {
  EXPECT_EQ(Read("   VERSION=3.5   \n").newest.version, 3.5);
  EXPECT_EQ(Read("VERSION = 3.5\n").newest.version, 3.5);
  EXPECT_EQ(Read("VERSIONS=3.5\n").newest.version, 3.5);
  EXPECT_EQ(Read("version=3.5\n").newest.version, 3.0);
  EXPECT_EQ(Read("\tVERSION=3.5\n").newest.version, 3.0);
  EXPECT_EQ(Read("MESSAGE12=x\n").messages[0], "x");
  EXPECT_EQ(Read("MESSAGE4=x\n").messages[0], "");
}

TEST(UpdateInfoFile, ValuesThatDoNotConvertAndKeysWithoutEqualsChangeNothing) {
  const auto info = Read("VERSION=abc\nBUILD=\nVERSION 9.9\nBUILD 99\nMESSAGE1 hi\n");
  EXPECT_EQ(info.newest.version, 3.0);
  EXPECT_EQ(info.newest.build, 20);
  EXPECT_EQ(info.messages[0], "");
  EXPECT_EQ(Read("BUILD=99999999999\n").newest.build, 20);
  EXPECT_EQ(Read("VERSION=1e999\n").newest.version, 3.0);
}

TEST(UpdateInfoFile, LaterVersionLinesOverrideAndMessageLinesAccumulate) {
  const auto info = Read(
      "VERSION=4\nVERSION=5\nMESSAGE1=Hello\nMESSAGE1=  world  \nMESSAGE3=a=b\nMESSAGE3=\n");
  EXPECT_EQ(info.newest.version, 5.0);
  EXPECT_EQ(info.messages[0], "Hello world");
  EXPECT_EQ(info.messages[2], "a=b ");  // an empty line after text leaves a trailing space
  EXPECT_EQ(Read("MESSAGE2=\nMESSAGE2=x\n").messages[1], "x");
}

TEST(UpdateInfoFile, LongLinesAreReadInPieces) {
  // Only what follows "=" within the first 259 characters belongs to the message; the
  // rest is a line of its own, which here happens to begin with a key.
  const std::string value(250, 'v');
  const auto info = Read("MESSAGE1=" + value + "VERSION=9\r\n");
  EXPECT_EQ(info.messages[0], value);
  EXPECT_EQ(info.newest.version, 9.0);
  const auto plain = Read("MESSAGE1=" + std::string(291, 'w') + "\n");
  EXPECT_EQ(plain.messages[0], std::string(250, 'w'));
}

TEST(UpdateInfoFile, WhatHidesTheRestOfALineOrFile) {
  EXPECT_EQ(Read("BUILD=30\n\x1aVERSION=4\n").newest.version, 3.0);  // Ctrl-Z
  EXPECT_EQ(Read(std::string("MESSAGE1=ab\0cd\nBUILD=25", 23)).messages[0], "ab");  // NUL
  EXPECT_EQ(Read(std::string("BUILD=25\0\nVERSION=4", 19)).newest.version, 4.0);
  // CR-only line ends make one long line: only its first piece can hold a key.
  const auto cr = Read("MESSAGE1=x\rVERSION=4\rBUILD=30\r");
  EXPECT_EQ(cr.messages[0], "x\rVERSION=4\rBUILD=30\r");
  EXPECT_EQ(cr.newest.version, 3.0);
}

TEST(UpdateInfoFile, AnErrorPageOrAByteOrderMarkAnnouncesNothing) {
  const auto html = Read("<html><body><h1>404 Not Found</h1></body></html>\r\n");
  EXPECT_FALSE(IsNewerVersion(html.newest, kInstalled));
  const auto bom = Read("\xEF\xBB\xBFVERSION=9\r\nBUILD=1\r\n");
  EXPECT_EQ(bom.newest.version, 3.0);  // the first line does not start with the key
  EXPECT_EQ(bom.newest.build, 1);
}

TEST(UpdateInfoFile, MessagesStopGrowingAtTheirLimit) {
  std::string file;
  const std::string line = "MESSAGE2=" + std::string(200, 'm') + "\n";
  while (file.size() < 3 * kMaxMessageLength) file += line;
  const auto info = Read(file);
  EXPECT_EQ(info.messages[1].size(), kMaxMessageLength);
}

// The downloaded copy: read, then deleted.

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
