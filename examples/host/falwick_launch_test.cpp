#include <gtest/gtest.h>

#include "falwick_launch.h"

namespace {

constexpr const char* kExe = R"(C:\Program Files\Writer\Falwick.EXE)";

FalwickRequest Writer() {
  return {"Writer",    "https://u.example/w.txt", "w.txt", "3.0.012",
          "writer.ini", "Options", "NoUpdateCheck", "https://u.example/w.htm"};
}

TEST(FalwickCommandLine, QuotesThePathAndWritesTheNineTokensInOrder) {
  EXPECT_EQ(FalwickCommandLine(kExe, Writer(), CheckMode::kStartUp),
            R"("C:\Program Files\Writer\Falwick.EXE" <Writer><PU><https://u.example/w.txt>)"
            "<w.txt><3.0.012><writer.ini><Options><NoUpdateCheck><https://u.example/w.htm>");
  FalwickRequest spaced = Writer();
  spaced.product = "My Writer";
  spaced.key = "";  // an empty value after the product is a token like any other
  EXPECT_EQ(FalwickCommandLine("F.EXE", spaced, CheckMode::kExplicit),
            "\"F.EXE\" <My Writer><PX><https://u.example/w.txt><w.txt><3.0.012><writer.ini>"
            "<Options><><https://u.example/w.htm>");
}

TEST(FalwickCommandLine, RefusesWhatFalwickWouldReadDifferently) {
  struct Case {
    const char* what;
    const char* path;
    std::string FalwickRequest::*field;
    const char* value;
  };
  const Case cases[] = {
      {"empty product", kExe, &FalwickRequest::product, ""},
      {"> in the product", kExe, &FalwickRequest::product, "A>B"},
      {"> in a URL", kExe, &FalwickRequest::downloadUrl, "http://h/?a>b"},
      {"> in the key", kExe, &FalwickRequest::key, ">"},
      {"quote in the path", R"(C:\a"b\Falwick.EXE)", &FalwickRequest::key, "Key"},
      {"empty path", "", &FalwickRequest::key, "Key"},
  };
  for (const Case& c : cases) {
    FalwickRequest request = Writer();
    request.*c.field = c.value;
    EXPECT_EQ(FalwickCommandLine(c.path, request, CheckMode::kStartUp), "") << c.what;
  }
}

TEST(UrlForFalwick, EncodesWhatTheBrowserOrTheCodePageWouldChangeAndSaysWhat) {
  struct Case {
    const char* url;
    const char* expected;
    const char* encoded;
  };
  const Case cases[] = {
      {"https://u.example/w.htm?a=1&b=%20", "https://u.example/w.htm?a=1&b=%20", ""},
      {"https://u.example/My Writer/w.htm", "https://u.example/My%20Writer/w.htm", "space"},
      {"https://u.example/w.htm?q=\"a b\"\t",
       "https://u.example/w.htm?q=%22a%20b%22%09", "space, tab, quotation mark"},
      {"https://u.example/caf\xC3\xA9/\xEF\xBC\x82x\xEF\xBC\x82",  // "é", fullwidth quotes
       "https://u.example/caf%C3%A9/%EF%BC%82x%EF%BC%82", "non-ASCII character"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const EncodedUrl result = UrlForFalwick(c.url);
    EXPECT_EQ(result.url, c.expected) << c.url;
    EXPECT_EQ(result.encoded, c.encoded) << c.url;
  }
}

TEST(CheckingDisabled, ReadsTheValueAsFalwicksCheckBoxDoes) {
  const std::pair<const char*, bool> cases[] = {
      {"1", true},         {"0", false},          {"", false},
      {"2", true},         {"-1", true},          {" \t+3", true},
      {"yes", false},      {"0x1", false},        {"00010", true},
      {"-0", false},       {"1 # note", true},    {"- 1", false},
      {"000000000", false}, {"0000000001", false},  // the tenth character is not read
      {"99999999999", true},                       // nor are digits past the ninth
  };
  for (const auto& [value, disabled] : cases) {
    EXPECT_EQ(CheckingDisabled(value), disabled) << '"' << value << '"';
  }
}

TEST(ValidUserFolder, TakesOnlyNamesBelowTheUsersFolder) {
  const std::pair<const char*, bool> cases[] = {
      {"Writer", true},           {"Orvanel\\Writer", true},  {"Writer 3", true},
      {"", false},                {"..", false},              {"Orvanel\\..\\..", false},
      {".", false},               {"\\Writer", false},        {"Writer\\", false},
      {"a\\\\b", false},          {"C:\\Writer", false},      {"\\\\server\\share", false},
      {"a/b", false},             {"Writer?", false},         {"Wri\tter", false},
  };
  for (const auto& [folder, valid] : cases) {
    EXPECT_EQ(ValidUserFolder(folder), valid) << '"' << folder << '"';
  }
}

}  // namespace
