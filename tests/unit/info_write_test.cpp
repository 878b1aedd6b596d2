#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tools/info/file/info_check.h"
#include "tools/info/write/info_writer.h"
#include "memory_source.h"
#include "base/number_scan.h"

namespace {

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
    const InfoCheck check = CheckInfoFile(written.text, {3.0, 12}, "Writer");
    EXPECT_EQ(check.info.messages[0], message);
    for (const Finding& finding : check.findings) {
      EXPECT_EQ(finding.id, "notice-too-long") << finding.text;
    }
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

// What the notice then shows differently is check's finding, with its severity.
TEST(WriteInfoFile, NamesWhatTheDialogShowsDifferently) {
  const struct {
    InfoFileContent content;
    std::vector<std::string> ids;  // in this order
  } cases[] = {
      {{"3.5", "14", {"Q&A", "", "Caf\xC3\xA9"}}, {"ampersand", "non-ascii"}},
      {{"3.5", "14", {}}, {"version-fraction"}},  // the standard sentence shows 3.0.014
      {{"3.10", "-1", {}}, {"version-decimals", "version-fraction", "negative-build"}},
      {{"3", "14", {"Faster.", "", ""}}, {}},
  };
  for (const auto& c : cases) {
    const WrittenInfoFile written = WriteInfoFile(c.content);
    ASSERT_TRUE(written.ok);
    std::vector<std::string> ids;
    for (const Finding& finding : written.findings) ids.push_back(finding.id);
    EXPECT_EQ(ids, c.ids) << c.content.version;
  }
}


}  // namespace
