#include <gtest/gtest.h>

#include "update/notice_text.h"

namespace {

const char kTemplate[] = "%s Version %s is now available for download from www.orvanel.example!";

TEST(ComposeNoticeText, JoinsTheMessagesThatAreNotEmptyWithBlankLines) {
  EXPECT_EQ(ComposeNoticeText({"", "", ""}), "");
  EXPECT_EQ(ComposeNoticeText({"a", "", "c"}), "a\r\n\r\nc");
  EXPECT_EQ(ComposeNoticeText({"", "b", ""}), "b");
  EXPECT_EQ(ComposeNoticeText({"a", "b", "c"}), "a\r\n\r\nb\r\n\r\nc");
}

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

}  // namespace
