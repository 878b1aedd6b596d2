#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

using Args = std::vector<std::string>;

TEST(ParseCommandLine, SplitsBracketedTokensIntoNameAndArguments) {
  const auto request = ParseCommandLine("<My Product><PU><http://h/i.txt><i.txt>");
  EXPECT_EQ(request.productName, "My Product");
  EXPECT_EQ(request.arguments, (Args{"PU", "http://h/i.txt", "i.txt"}));
}

TEST(ParseCommandLine, IgnoresTextOutsideBracketsAndDropsAnUnterminatedToken) {
  const auto request = ParseCommandLine("  \"<Prod>\" junk <a> <b><c");
  EXPECT_EQ(request.productName, "Prod");
  EXPECT_EQ(request.arguments, (Args{"a", "b"}));
}

TEST(ParseCommandLine, EmptyFirstTokensAreDroppedButLaterEmptyTokensCount) {
  const auto request = ParseCommandLine("<><><Prod><><x>");
  EXPECT_EQ(request.productName, "Prod");
  EXPECT_EQ(request.arguments, (Args{"", "x"}));
}

TEST(ParseCommandLine, TokenRunsToTheFirstClosingBracketAndMayHoldOpeningOnes) {
  const auto request = ParseCommandLine("<a<b><c>d>");
  EXPECT_EQ(request.productName, "a<b");
  EXPECT_EQ(request.arguments, (Args{"c"}));
}

TEST(ParseCommandLine, NothingBracketedGivesAnEmptyRequest) {
  const auto request = ParseCommandLine("no tokens > here <");
  EXPECT_EQ(request.productName, "");
  EXPECT_TRUE(request.arguments.empty());
}

UpdateRequest WithArguments(Args arguments) { return UpdateRequest{"Prod", std::move(arguments)}; }

Args Eight(const std::string& mode) { return {mode, "u", "f", "1.0", "s", "S", "K", "d"}; }

TEST(DecideRunMode, AcceptsCheckModesWithoutRegardToCase) {
  for (const char* mode : {"PU", "pu", "pU"}) {
    auto request = WithArguments(Eight(mode));
    EXPECT_EQ(DecideRunMode(request), RunMode::kCheck) << mode;
  }
  for (const char* mode : {"PX", "px", "Px"}) {
    auto request = WithArguments(Eight(mode));
    EXPECT_EQ(DecideRunMode(request), RunMode::kExplicitCheck) << mode;
    EXPECT_EQ(request.arguments[kModeArgument], "PU");
  }
}

TEST(DecideRunMode, RefusesOtherModesAndOtherArgumentCounts) {
  auto unknown = WithArguments(Eight("PQ"));
  EXPECT_EQ(DecideRunMode(unknown), RunMode::kNone);
  auto wide = WithArguments(Eight("\xC4U"));  // not ASCII: no case folding
  EXPECT_EQ(DecideRunMode(wide), RunMode::kNone);

  Args seven = Eight("PU");
  seven.pop_back();
  auto short_ = WithArguments(seven);
  EXPECT_EQ(DecideRunMode(short_), RunMode::kNone);
  Args nine = Eight("PX");
  nine.push_back("extra");
  auto long_ = WithArguments(nine);
  EXPECT_EQ(DecideRunMode(long_), RunMode::kNone);

  auto none = WithArguments({});
  EXPECT_EQ(DecideRunMode(none), RunMode::kNone);
}

}  // namespace
