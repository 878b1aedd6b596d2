#include <gtest/gtest.h>

#include "fake_platform.h"
#include "memory_source.h"
#include "ui/disable_checking_setting.h"
#include "ui/notice_text.h"
#include "update/update_info.h"

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

TEST(ReadUpdateInfo, ReadsTheFileThenDeletesIt) {
  FakePlatform platform;
  platform.files["C:\\p\\info.txt"] = "VERSION=4.0\r\nBUILD=2\r\n";
  const auto info = ReadUpdateInfo(platform, "C:\\p\\info.txt", kInstalled);
  EXPECT_EQ(info.newest.version, 4.0);
  EXPECT_EQ(info.newest.build, 2);
  EXPECT_EQ(platform.calls,
            (std::vector<std::string>{"FsOpen(C:\\p\\info.txt, rb, 0x10)", "FClose(C:\\p\\info.txt)",
                                      "DeleteFileA(C:\\p\\info.txt)"}));
  EXPECT_EQ(platform.files.count("C:\\p\\info.txt"), 0u);
}

TEST(ReadUpdateInfo, AFileThatCannotBeOpenedLeavesTheInstalledVersionAndIsStillDeleted) {
  FakePlatform platform;
  const auto info = ReadUpdateInfo(platform, "C:\\p\\missing.txt", kInstalled);
  EXPECT_EQ(info.newest.version, kInstalled.version);
  EXPECT_EQ(info.newest.build, kInstalled.build);
  EXPECT_EQ(platform.CallsNamed("DeleteFileA").size(), 1u);
}

TEST(ReadUpdateInfo, AReadErrorKeepsWhatWasReadBeforeIt) {
  FakePlatform platform;
  platform.files["C:\\p\\i"] = "BUILD=30\nVERSION=9\n";
  platform.readFailsAt = 10;
  const auto info = ReadUpdateInfo(platform, "C:\\p\\i", kInstalled);
  EXPECT_EQ(info.newest.build, 30);
  EXPECT_EQ(info.newest.version, 3.0);
}

TEST(ComposeNoticeText, JoinsTheMessagesThatAreNotEmptyWithBlankLines) {
  EXPECT_EQ(ComposeNoticeText({"", "", ""}), "");
  EXPECT_EQ(ComposeNoticeText({"a", "", "c"}), "a\r\n\r\nc");
  EXPECT_EQ(ComposeNoticeText({"", "b", ""}), "b");
  EXPECT_EQ(ComposeNoticeText({"a", "b", "c"}), "a\r\n\r\nb\r\n\r\nc");
}

const char kTemplate[] = "%s Version %s is now available for download from www.orvanel.example!";

TEST(NoticeText, TheMakersTextReplacesTheTemplate) {
  EXPECT_EQ(ChooseNoticeText("a\r\n\r\nb", kTemplate, "Writer", "3.0.014"), "a\r\n\r\nb");
  EXPECT_EQ(ChooseNoticeText("", kTemplate, "Writer", "3.0.014"),
            "Writer Version 3.0.014 is now available for download from www.orvanel.example!");
}

TEST(NoticeText, ArgumentsAreDataNeverFormats) {
  EXPECT_EQ(FormatNoticeTemplate("%s|%s|%s|100%%", "%s%n%d", "%%"), "%s%n%d|%%||100%");
  const std::string longName(100000, 'N');
  EXPECT_EQ(FormatNoticeTemplate(kTemplate, longName, "1.0.000").size(),
            std::string(kTemplate).size() - 4 + longName.size() + 7);
  EXPECT_EQ(FormatNoticeTemplate("50% off %", "x", "y"), "50% off %");
}

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
  FakePlatform platform;
  const SettingLocation where{"C:\\p\\host.ini", "Options", "NoCheck"};
  int32_t box = 0;
  ReadDisableChecking(platform, where, box);  // missing: the default "0"
  EXPECT_EQ(box, 0);
  EXPECT_EQ(platform.calls.back(),
            "GetPrivateProfileStringA(Options, NoCheck, 0, 10, C:\\p\\host.ini)");
  // The tenth character is cut off: "000000000" remains, which is 0.
  platform.profile["C:\\p\\host.ini|Options|NoCheck"] = "0000000001";
  box = 1;
  ReadDisableChecking(platform, where, box);
  EXPECT_EQ(box, 0);
  platform.profile["C:\\p\\host.ini|Options|NoCheck"] = "000000002";
  ReadDisableChecking(platform, where, box);
  EXPECT_EQ(box, 1);
}

}  // namespace
