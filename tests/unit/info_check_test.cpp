#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

#include "maker/info_check.h"
#include "memory_source.h"
#include "update/download.h"
#include "update/number_scan.h"

namespace {

const ProgramVersion kInstalled{3.0, 12};
const std::string kClean = "VERSION=4\r\nBUILD=2\r\nMESSAGE1=New && improved.\r\n";

std::set<Trap> TrapsOf(const InfoCheck& check) {
  std::set<Trap> traps;
  for (const InfoWarning& warning : check.warnings) traps.insert(warning.trap);
  return traps;
}

const InfoWarning* Find(const InfoCheck& check, Trap trap) {
  for (const InfoWarning& warning : check.warnings) {
    if (warning.trap == trap) return &warning;
  }
  return nullptr;
}

InfoCheck Check(const std::string& file, std::string_view product = "Writer") {
  return CheckInfoFile(file, kInstalled, product);
}

std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (const char c : ascii) out += std::string{c, '\0'};
  return out;
}

struct TrapCase {
  const char* what;
  std::string file;
  std::set<Trap> traps;  // exactly these kinds
  int line;              // of the first warning of the first kind
  const char* mentions;  // the warning says this
};

TEST(CheckInfoFile, EachTrapIsReportedWithItsLine) {
  const std::string longMessage = "MESSAGE1=" + std::string(300, 'x');
  std::string tooLong;
  while (tooLong.size() < 2 * kMaxMessageLength) {
    tooLong += "MESSAGE3=" + std::string(200, 'm') + "\r\n";
  }
  const TrapCase cases[] = {
      {"byte-order mark", "\xEF\xBB\xBFVERSION=4\r\nBUILD=2\r\n",
       {Trap::kByteOrderMark, Trap::kBuildWithoutVersion}, 1, "'VERSION=4' is not read"},
      {"UTF-16 with mark", "\xFF\xFE" + Utf16Le(kClean), {Trap::kUtf16, Trap::kNoVersionNoBuild}, 1,
       "UTF-16"},
      {"UTF-16 without mark", Utf16Le(kClean), {Trap::kUtf16, Trap::kNoVersionNoBuild}, 1,
       "UTF-16"},
      {"NUL byte", std::string("VERSION=4\r\nBUILD=2\0 beta\r\n", 26), {Trap::kNulByte}, 2,
       "' beta'"},
      {"HTML", "<!DOCTYPE html>\r\n<html><body>Not Found</body></html>\r\n",
       {Trap::kHtml, Trap::kNoVersionNoBuild}, 1, "HTML page"},
      {"Ctrl-Z", "VERSION=4\r\n\x1a\r\nBUILD=2\r\n", {Trap::kCtrlZ, Trap::kVersionWithoutBuild}, 2,
       "'BUILD=2' (line 3)"},
      {"CR-only line ends", "VERSION=4\rBUILD=2\rMESSAGE1=Hi\r",
       {Trap::kCrLineEnds, Trap::kVersionWithoutBuild}, 1,
       "'BUILD=2' (line 2), 'MESSAGE1=Hi' (line 3)"},
      {"long line", kClean + longMessage + "\r\n", {Trap::kLongLine}, 4,
       "characters 1-259 read as MESSAGE1, characters 260-309"},
      {"key after a tab", "\tBUILD=5\r\n" + kClean, {Trap::kKeyAfterTab}, 1, "follows a tab"},
      {"key in the wrong case", kClean + "Build = 5\r\n", {Trap::kKeyInWrongCase}, 4,
       "write BUILD"},
      {"unknown message key", kClean + "MESSAGE4=More\r\n", {Trap::kUnknownKey}, 4, "'MESSAGE4'"},
      {"key without =", kClean + "VERSION 5\r\n", {Trap::kKeyWithoutEquals}, 4, "no \"=\""},
      {"key read as another", kClean + "MESSAGE12=More\r\n", {Trap::kKeyReadAsAnother}, 4,
       "'MESSAGE12' is read as the key MESSAGE1"},
      {"value does not convert", "VERSION=4\r\nBUILD=two\r\nBUILD=2\r\n",
       {Trap::kValueDoesNotConvert}, 2, "'two'"},
      {"value read in part", "VERSION=4,5\r\nBUILD=2\r\n", {Trap::kValuePartlyRead}, 1,
       "VERSION becomes 4"},
      {"repeated key", "VERSION=3\r\nBUILD=2\r\nVERSION=4\r\n", {Trap::kRepeatedKey}, 3,
       "4 replaces 3 from line 1"},
      {"no VERSION and no BUILD", "MESSAGE1=Hi\r\n", {Trap::kNoVersionNoBuild}, 0,
       "never announces"},
      {"VERSION without BUILD", "VERSION=4\r\n", {Trap::kVersionWithoutBuild}, 0, "4.0.012"},
      {"BUILD without VERSION", "BUILD=20\r\n", {Trap::kBuildWithoutVersion}, 0, "BUILD 20"},
      {"fraction in VERSION", "BUILD=2\r\nVERSION=4.5\r\n", {Trap::kVersionFraction}, 2,
       "announces 4.0.002"},
      {"fraction that makes an older-looking notice", "VERSION=3.5\r\nBUILD=1\r\n",
       {Trap::kVersionFraction}, 1, "to a user of 3.0.012 it announces that as newer"},
      {"& in a message", kClean + "MESSAGE2=Q&A\r\n", {Trap::kAmpersand}, 4,
       "shows as 'QA' with 'A' underlined"},
      {"UTF-8 in a message", kClean + "MESSAGE2=Caf\xC3\xA9\r\n", {Trap::kNonAscii}, 4, "UTF-8"},
      {"notice too long for the dialog", kClean + "MESSAGE2=" + std::string(200, 'a') +
       "\r\nMESSAGE3=" + std::string(200, 'c') + "\r\n", {Trap::kNoticeTooLong}, 0,
       "about 9 lines"},
      {"message too long", "VERSION=4\r\nBUILD=2\r\n" + tooLong,
       {Trap::kMessageTooLong, Trap::kNoticeTooLong}, 329,
       "MESSAGE3 grows past 65536"},
  };
  for (const TrapCase& c : cases) {
    SCOPED_TRACE(c.what);
    const InfoCheck check = Check(c.file);
    EXPECT_EQ(TrapsOf(check), c.traps);
    const InfoWarning* warning = Find(check, *c.traps.begin());
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(warning->line, c.line);
    EXPECT_NE(warning->text.find(c.mentions), std::string::npos) << warning->text;
  }
}

TEST(CheckInfoFile, ACleanFileAndHarmlessLookAlikesGiveNoWarning) {
  const std::string files[] = {
      kClean,
      "VERSION=4\nBUILD=2\n",                                  // LF alone
      "  VERSION = 4.0  \r\nBUILD= 2\r\n",                      // spaces, a whole version
      "; Orvanel Writer\r\n# build notes follow\r\nVERSION=4\r\nBUILD=2\r\n",  // comments
      "VERSION=4" + std::string(300, ' ') + "\r\nBUILD=2\r\n",  // only spaces spill over
      "VERSION=4\r\nBUILD=2\r\n\x1a",                           // a closing Ctrl-Z
      "VERSION=4\r\nBUILD=2\r\r\n",                             // a CR before CR LF
      "VERSION=4\r\nBUILD=2\r\nMESSAGE1=a=b, 100% && more\r\nMESSAGE1=\tindented\r\n",
      "VERSION\t= 4\r\nBUILD=2\r\nMESSAGE2=See <html> in the <body> of the page.\r\n",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const InfoCheck check = Check(file);
    EXPECT_TRUE(check.warnings.empty()) << check.warnings.front().text;
    EXPECT_EQ(check.info.newest.version, 4.0);
    EXPECT_EQ(check.info.newest.build, 2);
  }
}

TEST(CheckInfoFile, AnAmpersandInTheProductNameMattersOnlyForTheStandardSentence) {
  EXPECT_EQ(TrapsOf(Check("VERSION=4\r\nBUILD=2\r\n", "Q&A Writer")),
            std::set<Trap>{Trap::kAmpersand});
  EXPECT_EQ(TrapsOf(Check(kClean, "Q&A Writer")), std::set<Trap>{});
  EXPECT_EQ(TrapsOf(Check("VERSION=4\r\nBUILD=2\r\n", "Q&&A Writer")), std::set<Trap>{});
}

TEST(CheckInfoFile, LineNumbersFollowEveryKindOfLineEndAndPieceBoundary) {
  // A trap on the line after a line of each length around the piece size, ended by LF or
  // CR LF: whatever pieces the reader makes, the trap is on line 2.
  for (size_t length = 255; length <= 262; ++length) {
    for (const std::string end : {"\n", "\r\n"}) {
      SCOPED_TRACE(std::to_string(length) + (end.size() == 2 ? " CR LF" : " LF"));
      const std::string file = "MESSAGE1=" + std::string(length - 9, 'x') + end +
                               "\tBUILD=3" + end + "VERSION=4" + end + "BUILD=2" + end;
      const InfoCheck check = Check(file);
      const InfoWarning* tab = Find(check, Trap::kKeyAfterTab);
      ASSERT_NE(tab, nullptr);
      EXPECT_EQ(tab->line, 2);
    }
  }
  // Past the reader's 64 KiB buffer, with a CR LF split across two of its reads.
  for (size_t shift = 0; shift < 3; ++shift) {
    std::string file = "VERSION=4\r\nBUILD=2\r\n";
    int lines = 2;
    const size_t target = 65533 + shift;  // the CR of the next line end at 65535 for shift 2
    while (target - file.size() > 204) {
      file += std::string(100, ';') + "\r\n";
      ++lines;
    }
    file += std::string(target - file.size() - 2, ';') + "\r\n";
    ++lines;
    file += "\r\n\tBUILD=9\r\n";  // an empty line, then the trap
    SCOPED_TRACE(shift);
    const InfoCheck check = Check(file);
    const InfoWarning* tab = Find(check, Trap::kKeyAfterTab);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->line, lines + 2);
  }
  // Editors count CR alone as a line end, and so do the warnings.
  const InfoCheck mixed = Check("VERSION=4\nBUILD=2\r\n; a\rb\r\nBuild=3\n");
  const InfoWarning* wrongCase = Find(mixed, Trap::kKeyInWrongCase);
  ASSERT_NE(wrongCase, nullptr);
  EXPECT_EQ(wrongCase->line, 5);
}

TEST(CheckInfoFile, OnlyWhatFalwickStoresOfAHugeFileIsRead) {
  std::string file = "VERSION=4\r\nBUILD=2\r\n";
  const std::string filler = std::string(250, ' ') + "\r\n";
  while (file.size() + filler.size() <= DownloadUpdateInfo::kMaxStoredBytes) file += filler;
  file.append(DownloadUpdateInfo::kMaxStoredBytes - file.size(), ' ');
  file += "\r\nBUILD=9\r\n";  // the first byte past what is stored
  const InfoCheck check = Check(file);
  EXPECT_EQ(TrapsOf(check), std::set<Trap>{Trap::kFileTooLarge});
  EXPECT_EQ(check.info.newest.build, 2);
}

TEST(CheckInfoFile, TheVerdictAndNoticeAreTheProgramsOwn) {
  const InfoCheck newer = Check(kClean + "MESSAGE3=Free.\r\n");
  EXPECT_TRUE(newer.newer);
  EXPECT_EQ(newer.displayVersion, "4.0.002");
  EXPECT_FALSE(newer.usesTemplate);
  EXPECT_EQ(newer.noticeText, "New && improved.\r\n\r\nFree.");
  EXPECT_EQ(newer.versionLine, 1);
  EXPECT_EQ(newer.buildLine, 2);
  EXPECT_EQ(newer.messageLine, (std::array<int, 3>{3, 0, 4}));

  EXPECT_TRUE(Check("VERSION=3.0000001\r\nBUILD=1\r\n").newer);  // larger, however little
  const InfoCheck sameVersion = Check("VERSION=2.9999999\r\nBUILD=12\r\n");
  EXPECT_FALSE(sameVersion.newer);  // within 1e-6: the builds decide
  EXPECT_NE(sameVersion.reason.find("BUILD 12 is not larger than the installed build 12"),
            std::string::npos)
      << sameVersion.reason;
  const InfoCheck older = Check("VERSION=2.9\r\nBUILD=500\r\n");
  EXPECT_FALSE(older.newer);
  EXPECT_NE(older.reason.find("smaller"), std::string::npos);

  const InfoCheck standard = Check("VERSION=3\r\nBUILD=13\r\n", "Writer");
  EXPECT_TRUE(standard.newer);
  EXPECT_TRUE(standard.usesTemplate);
  EXPECT_EQ(standard.noticeText,
            "Writer Version 3.0.013 is now available for download from www.orvanel.example!");
}

// Reads `file` as the program does, from the version 0.0.
UpdateInfo ReadBack(const std::string& file) {
  UpdateInfo info;
  MemorySource source(file);
  ReadUpdateInfoText(source, info);
  return info;
}

void ExpectWellFormed(const std::string& file) {
  EXPECT_NE(file.compare(0, 3, "\xEF\xBB\xBF"), 0);
  size_t start = 0;
  while (start < file.size()) {
    const size_t end = file.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
    EXPECT_LE(end - start, kMaxWrittenLineLength);
    EXPECT_EQ(file.substr(start, end - start).find_first_of("\r\n"), std::string::npos);
    start = end + 2;
  }
}

TEST(WriteInfoFile, WhatIsWrittenReadsBackExactly) {
  std::string words;
  for (int i = 0; words.size() < 3000; ++i) words += (i ? " word" : "word") + std::to_string(i);
  std::string full;  // just under the message limit, in 99-character words
  while (full.size() + 100 <= kMaxMessageLength) {
    full += (full.empty() ? "" : " ") + std::string(99, 'f');
  }
  const InfoFileContent contents[] = {
      {"3.5", "14", {"This release adds faster printing.", "", "The update is free."}},
      {"4", "0", {"", "", ""}},
      {"-1.25e2", "-7", {"a=b=c, Q&A && more", "100%  sure\tand tabbed", "x"}},
      {"10", "2147483647", {std::string(249, 'a'), std::string(249, 'b') + " c", words}},
      {"10", "1", {full, "a" + std::string(247, ' ') + "b", ""}},
  };
  for (const InfoFileContent& content : contents) {
    const WrittenInfoFile written = WriteInfoFile(content);
    ASSERT_TRUE(written.ok) << written.error;
    ExpectWellFormed(written.text);
    const UpdateInfo back = ReadBack(written.text);
    EXPECT_EQ(back.newest.version, *ScanDouble(content.version));
    EXPECT_EQ(back.newest.build, *ScanInt(content.build));
    EXPECT_EQ(back.messages[0], content.messages[0]);
    EXPECT_EQ(back.messages[1], content.messages[1]);
    EXPECT_EQ(back.messages[2], content.messages[2]);
  }
}

TEST(WriteInfoFile, RandomMessagesReadBackAndCheckWithoutWarnings) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::string message;
    const size_t target = random() % 2500 + 1;
    while (message.size() < target) {
      if (!message.empty()) message += random() % 10 == 0 ? "  " : " ";
      message += std::string(random() % 40 + 1, static_cast<char>('a' + random() % 26));
    }
    const WrittenInfoFile written = WriteInfoFile({"7", "3", {message, "", ""}});
    ASSERT_TRUE(written.ok) << written.error;
    ExpectWellFormed(written.text);
    const InfoCheck check = CheckInfoFile(written.text, kInstalled, "Writer");
    EXPECT_EQ(check.info.messages[0], message);
    const std::set<Trap> traps = TrapsOf(check);
    EXPECT_TRUE(traps.empty() || traps == std::set<Trap>{Trap::kNoticeTooLong});
  }
}

TEST(WriteInfoFile, RefusesWhatWouldReadBackDifferently) {
  const struct {
    InfoFileContent content;
    const char* because;
  } refused[] = {
      {{"3,5", "1", {}}, "would be read as 3"},
      {{" 3.5", "1", {}}, "VERSION"},
      {{"v3", "1", {}}, "not a number"},
      {{"1e999", "1", {}}, "not a number"},
      {{"3", "1.5", {}}, "would be read as 1"},
      {{"3", "99999999999", {}}, "not a whole number"},
      {{"3", "1", {" lead", "", ""}}, "starts with a space"},
      {{"3", "1", {"", "trail ", ""}}, "ends with a space"},
      {{"3", "1", {"", "", "two\r\nlines"}}, "line break"},
      {{"3", "1", {std::string("nul\0byte", 8), "", ""}}, "NUL"},
      {{"3", "1", {"ctrl\x1az", "", ""}}, "Ctrl-Z"},
      {{"3", "1", {"short " + std::string(250, 'w'), "", ""}}, "longer than a line holds"},
      {{"3", "1", {std::string(200, 'a') + "  " + std::string(200, 'b'), "", ""}},
       "only runs of spaces"},
      {{"3", "1", {std::string(kMaxMessageLength + 1, 'a'), "", ""}}, "65536"},
  };
  for (const auto& r : refused) {
    const WrittenInfoFile written = WriteInfoFile(r.content);
    SCOPED_TRACE(r.because);
    EXPECT_FALSE(written.ok);
    EXPECT_TRUE(written.text.empty());
    EXPECT_NE(written.error.find(r.because), std::string::npos) << written.error;
  }
}

TEST(WriteInfoFile, NotesWhatTheDialogShowsDifferently) {
  const WrittenInfoFile written = WriteInfoFile({"3.5", "14", {"Q&A", "", "Caf\xC3\xA9"}});
  ASSERT_TRUE(written.ok);
  ASSERT_EQ(written.notes.size(), 3u);
  EXPECT_NE(written.notes[0].find("3.0.014"), std::string::npos);
  EXPECT_NE(written.notes[1].find("'A' underlined"), std::string::npos);
  EXPECT_NE(written.notes[2].find("ANSI code page"), std::string::npos);
}

}  // namespace
