#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tools/info/file/info_check.h"
#include "ui/web_address.h"
#include "update/download.h"

namespace {

const ProgramVersion kInstalled{3.0, 12};
const std::string kClean = "VERSION=4\r\nBUILD=2\r\nMESSAGE1=New && improved.\r\n";

using Ids = std::set<std::string>;

Ids TrapsOf(const InfoCheck& check) {
  Ids ids;
  for (const Finding& finding : check.findings) ids.insert(finding.id);
  return ids;
}

const Finding* Find(const InfoCheck& check, const std::string& id) {
  for (const Finding& finding : check.findings) {
    if (finding.id == id) return &finding;
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
  Ids traps;             // exactly these kinds
  int line;              // of the first warning of the first kind
  const char* mentions;  // the warning says this
};

TEST(CheckInfoFile, EachTrapIsReportedWithItsLine) {
  const std::string longMessage = "MESSAGE1=" + std::string(300, 'x');
  std::string nulPairs;  // looks like UTF-16 to a quick look
  for (int i = 0; i < 250; ++i) nulPairs += std::string(";\0", 2);
  std::string tooLong;
  while (tooLong.size() < 2 * kMaxMessageLength) {
    tooLong += "MESSAGE3=" + std::string(200, 'm') + "\r\n";
  }
  const TrapCase cases[] = {
      {"byte-order mark", "\xEF\xBB\xBFVERSION=4\r\nBUILD=2\r\n",
       {"byte-order-mark", "build-without-version"}, 1, "'VERSION=4' is not read"},
      {"UTF-16 with mark", "\xFF\xFE" + Utf16Le(kClean), {"utf-16", "no-version-no-build"}, 1,
       "UTF-16"},
      {"UTF-16 without mark", Utf16Le(kClean), {"utf-16", "no-version-no-build"}, 1,
       "UTF-16"},
      {"NUL byte", std::string("VERSION=4\r\nBUILD=2\0 beta\r\n", 26), {"nul-byte"}, 2,
       "' beta'"},
      {"NULs in every other place, and key lines all the same", nulPairs + "\r\n" + kClean,
       {"nul-byte", "long-line"}, 1, "NUL byte"},
      {"HTML", "<!DOCTYPE html>\r\n<html><body>Not Found</body></html>\r\n",
       {"html-page", "no-version-no-build"}, 1, "HTML page"},
      {"Ctrl-Z", "VERSION=4\r\n\x1a\r\nBUILD=2\r\n", {"ctrl-z", "version-without-build"}, 2,
       "'BUILD=2' (line 3)"},
      {"CR-only line ends", "VERSION=4\rBUILD=2\rMESSAGE1=Hi\r",
       {"cr-line-ends", "version-without-build"}, 1,
       "'BUILD=2' (line 2), 'MESSAGE1=Hi' (line 3)"},
      {"a CR before a number that reads whole", "VERSION=\r4\r\nBUILD=2\r\n",
       {"cr-line-ends"}, 1, "lines 1-2"},
      {"long line", kClean + longMessage + "\r\n", {"long-line"}, 4,
       "characters 1-259 read as MESSAGE1, characters 260-309"},
      {"key after a tab", "\tBUILD=5\r\n" + kClean, {"key-after-tab"}, 1, "follows a tab"},
      {"key in the wrong case", kClean + "Build = 5\r\n", {"key-in-wrong-case"}, 4,
       "write BUILD"},
      {"unknown message key", kClean + "MESSAGE4=More\r\n", {"unknown-key"}, 4, "'MESSAGE4'"},
      {"key without =", kClean + "VERSION 5\r\n", {"key-without-equals"}, 4, "no \"=\""},
      {"key read as another", kClean + "MESSAGE12=More\r\n", {"key-read-as-another"}, 4,
       "'MESSAGE12' is read as the key MESSAGE1"},
      {"value does not convert", "VERSION=4\r\nBUILD=two\r\nBUILD=2\r\n",
       {"value-does-not-convert"}, 2, "'two'"},
      {"value read in part", "VERSION=4,5\r\nBUILD=2\r\n", {"value-partly-read"}, 1,
       "VERSION becomes 4"},
      {"repeated key", "VERSION=3\r\nBUILD=2\r\nVERSION=4\r\n", {"repeated-key"}, 3,
       "4 replaces 3 from line 1"},
      {"more decimals than compared", "VERSION=3.10\r\nBUILD=2\r\n",
       {"version-decimals", "version-fraction"}, 1, "3.10 counts as 3.1, smaller than 3.9"},
      {"a negative BUILD", "VERSION=4\r\nBUILD=-1\r\n", {"negative-build"}, 2, "4.0.-01"},
      {"no VERSION and no BUILD", "MESSAGE1=Hi\r\n", {"no-version-no-build"}, 0,
       "never announces"},
      {"VERSION without BUILD", "VERSION=4\r\n", {"version-without-build"}, 0, "4.0.012"},
      {"BUILD without VERSION", "BUILD=20\r\n", {"build-without-version"}, 0, "BUILD 20"},
      {"fraction in VERSION", "BUILD=2\r\nVERSION=4.5\r\n", {"version-fraction"}, 2,
       "announces 4.0.002"},
      {"fraction that makes an older-looking notice", "VERSION=3.5\r\nBUILD=1\r\n",
       {"version-fraction"}, 1, "to a user of 3.0.012 it announces that as newer"},
      {"& in a message", kClean + "MESSAGE2=Q&A\r\n", {"ampersand"}, 4,
       "shows as 'QA' with 'A' underlined"},
      {"UTF-8 in a message", kClean + "MESSAGE2=Caf\xC3\xA9\r\n", {"non-ascii"}, 4, "UTF-8"},
      {"notice too long for the dialog", kClean + "MESSAGE2=" + std::string(200, 'a') +
       "\r\nMESSAGE3=" + std::string(200, 'c') + "\r\n", {"notice-too-long"}, 0,
       "about 9 lines"},
      {"message too long", "VERSION=4\r\nBUILD=2\r\n" + tooLong,
       {"message-too-long", "notice-too-long"}, 329,
       "MESSAGE3 grows past 65536"},
  };
  std::set<std::string_view> ids;  // stable names for reports that machines read
  for (size_t t = 0; t < static_cast<size_t>(Trap::kCount); ++t) ids.insert(TrapId(Trap(t)));
  EXPECT_EQ(ids.size(), static_cast<size_t>(Trap::kCount));
  for (const TrapCase& c : cases) {
    SCOPED_TRACE(c.what);
    const InfoCheck check = Check(c.file);
    EXPECT_EQ(TrapsOf(check), c.traps);
    // The first kind in the order of Trap.
    std::string first;
    for (size_t t = static_cast<size_t>(Trap::kCount); t-- > 0;) {
      if (c.traps.count(std::string(TrapId(Trap(t)))) != 0) first = TrapId(Trap(t));
    }
    const Finding* warning = Find(check, first);
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(warning->line, c.line);
    const std::string said = warning->text + "; " + warning->fix;
    EXPECT_NE(said.find(c.mentions), std::string::npos) << said;
  }
}

// A trap is an error where Falwick then does not do what the file means, a warning where
// only some users see something else, a note where it is only how the notice shows it.
TEST(CheckInfoFile, TheSeverityFollowsWhatTheTrapDoes) {
  const struct {
    std::string file;
    const char* id;
    Severity severity;
  } cases[] = {
      {"\xEF\xBB\xBFVERSION=4\r\nBUILD=2\r\n", "byte-order-mark", Severity::kError},
      {"\xEF\xBB\xBF; Writer\r\nVERSION=4\r\nBUILD=2\r\n", "byte-order-mark", Severity::kWarning},
      {"VERSION=4\r\n\x1a\r\nBUILD=2\r\n", "ctrl-z", Severity::kError},
      {"VERSION=4\r\nBUILD=2\r\n\x1a; old notes\r\n", "ctrl-z", Severity::kWarning},
      {"VERSION=4.5\r\nBUILD=2\r\n", "version-fraction", Severity::kNote},
      {"VERSION=3.5\r\nBUILD=1\r\n", "version-fraction", Severity::kWarning},
      {"VERSION=4\r\nBUILD=2\r\nMESSAGE1=Q&A\r\n", "ampersand", Severity::kWarning},
  };
  for (const auto& c : cases) {
    const InfoCheck check = Check(c.file);
    const Finding* finding = Find(check, c.id);
    ASSERT_NE(finding, nullptr) << c.file;
    EXPECT_EQ(finding->severity, c.severity) << c.file;
  }
}

// The installed version as a host passes it: what does not convert, or has no build.
TEST(InstalledVersionFindings, NameVersionsWithoutABuildOrThatDoNotConvert) {
  const struct {
    const char* text;
    std::string id;  // empty: none
  } cases[] = {{"3.0.012", ""},  {"4.0.1234", ""},
               {"3.5", "installed-without-build"}, {"4.012", "installed-without-build"},
               {"3", "installed-without-build"},   {"abc", "installed-does-not-convert"},
               {"3.0.x", "installed-does-not-convert"}, {"", "installed-does-not-convert"}};
  for (const auto& c : cases) {
    const Findings findings = InstalledVersionFindings(c.text);
    EXPECT_EQ(findings.empty() ? std::string() : findings[0].id, c.id) << c.text;
  }
  EXPECT_NE(InstalledVersionFindings("3.5")[0].text.find("version 3, build 5"), std::string::npos);
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
    EXPECT_TRUE(check.findings.empty()) << check.findings.front().text;
    EXPECT_EQ(check.info.newest.version, 4.0);
    EXPECT_EQ(check.info.newest.build, 2);
  }
}

// The display version and the product name appear only in the standard sentence, which
// the maker's messages replace: warnings about them hold only while it is shown.
TEST(CheckInfoFile, TrapsInTheStandardSentenceCountOnlyWhereItIsShown) {
  const struct {
    std::string file;
    std::string_view product;
    Ids traps;
  } cases[] = {
      {"VERSION=4\r\nBUILD=2\r\n", "Q&A Writer", {"ampersand"}},
      {kClean, "Q&A Writer", {}},
      {"VERSION=4\r\nBUILD=2\r\n", "Q&&A Writer", {}},
      {"VERSION=4.5\r\nBUILD=2\r\n", "Writer", {"version-fraction"}},
      {"VERSION=4.5\r\nBUILD=2\r\nMESSAGE2=Faster.\r\n", "Writer", {}},
      {"VERSION=4\r\n", "Writer", {"version-without-build"}},
      {"VERSION=4\r\nMESSAGE3=Faster.\r\n", "Writer", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const InfoCheck check = Check(c.file, c.product);
    EXPECT_EQ(TrapsOf(check), c.traps);
    EXPECT_EQ(check.noticeText.find("Version 4.0.0") != std::string::npos, check.usesTemplate);
  }
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
      const Finding* tab = Find(check, "key-after-tab");
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
    const Finding* tab = Find(check, "key-after-tab");
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->line, lines + 2);
  }
  // Editors count CR alone as a line end, and so do the warnings.
  const InfoCheck mixed = Check("VERSION=4\nBUILD=2\r\n; a\rb\r\nBuild=3\n");
  const Finding* wrongCase = Find(mixed, "key-in-wrong-case");
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
  EXPECT_EQ(TrapsOf(check), Ids{"file-too-large"});
  EXPECT_EQ(check.info.newest.build, 2);
}

TEST(CheckInfoFile, TheVerdictAndNoticeAreTheProgramsOwn) {
  const InfoCheck newer = Check(kClean + "MESSAGE3=Free.\r\n");
  EXPECT_TRUE(newer.decision.newer);
  EXPECT_EQ(newer.displayVersion, "4.0.002");
  EXPECT_FALSE(newer.usesTemplate);
  EXPECT_EQ(newer.noticeText, "New && improved.\r\n\r\nFree.");
  EXPECT_EQ(newer.versionLine, 1);
  EXPECT_EQ(newer.buildLine, 2);
  EXPECT_EQ(newer.messageLine, (std::array<int, 3>{3, 0, 4}));

  // The reason names the rule that decided, and agrees with the decision.
  const struct {
    const char* file;
    bool newer;
    const char* reason;
  } verdicts[] = {
      {"VERSION=3.0000001\r\nBUILD=1\r\n", true, "is larger than the installed version 3"},
      {"VERSION=2.9999999\r\nBUILD=12\r\n", false,
       "counts as equal (within 1e-6) to the installed version 3, and BUILD 12 is not larger "
       "than the installed build 12"},
      {"VERSION=3\r\nBUILD=13\r\n", true, "equals the installed version 3, and BUILD 13 is larger"},
      {"VERSION=2.9\r\nBUILD=500\r\n", false, "smaller than the installed version 3 (the builds"},
      {"BUILD=11\r\n", false, "without VERSION the published version is the installed version 3"},
      {"VERSION=3\r\nBUILD=12\r\n", false, "(the file announces the installed version itself)"},
  };
  for (const auto& v : verdicts) {
    SCOPED_TRACE(v.file);
    const InfoCheck check = Check(v.file);
    EXPECT_EQ(check.decision.newer, v.newer);
    EXPECT_NE(check.reason.find(v.reason), std::string::npos) << check.reason;
  }

  const InfoCheck standard = Check("VERSION=3\r\nBUILD=13\r\n", "Writer");
  EXPECT_TRUE(standard.usesTemplate);
  EXPECT_EQ(standard.noticeText,
            "Writer Version 3.0.013 is now available for download from " FALWICK_WEB_ADDRESS "!");
}

// As measured on the notice: prose of 560 characters fills its 7 lines, a lone CR breaks
// a line as CR LF does, and "&" prefixes take no room.
TEST(EstimateNoticeLines, CountsLinesAsTheDialogBreaksThem) {
  std::string prose;
  while (prose.size() < 560) {
    prose += "This release adds faster printing and a new export format, with fixes for shared "
             "printers and for documents that hold tables. ";
  }
  prose.resize(560);
  const struct {
    std::string text;
    size_t lines;
  } cases[] = {
      {"", 1},
      {prose, 7},
      {"1 one\r2 two\r3 three", 3},
      {"a\r\n\r\nb", 3},
      {std::string(200, 'a'), 3},  // a word longer than a line breaks where the line ends
      {std::string(180, '&'), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(EstimateNoticeLines(c.text), c.lines);
  }
}

}  // namespace
