// The host's command line: arbitrary bytes through ParseCommandLine and DecideRunMode,
// checked against a plain character-by-character reading of the bracket rules.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "fuzz_support.h"

namespace {

// One character at a time: "<" opens a token (inside one it is an ordinary character),
// ">" closes it; a token still open at the end is dropped.
std::vector<std::string> ReferenceTokens(std::string_view text) {
  std::vector<std::string> tokens;
  std::string token;
  bool inside = false;
  for (const char c : text) {
    if (!inside) {
      inside = c == '<';
      token.clear();
    } else if (c == '>') {
      tokens.push_back(token);
      inside = false;
    } else {
      token += c;
    }
  }
  return tokens;
}

bool IsMode(const std::string& text, char second) {
  return text.size() == 2 && (text[0] == 'P' || text[0] == 'p') &&
         (text[1] == second || text[1] == second - 'A' + 'a');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  UpdateRequest request = ParseCommandLine(text);

  // Empty tokens before the first non-empty one are dropped; all later ones count.
  std::vector<std::string> expected = ReferenceTokens(text);
  std::string expectedName;
  size_t first = 0;
  while (first < expected.size() && expected[first].empty()) ++first;
  if (first < expected.size()) expectedName = expected[first++];
  expected.erase(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(first));
  FUZZ_CHECK(request.productName == expectedName);
  FUZZ_CHECK(request.arguments == expected);

  const std::vector<std::string> before = request.arguments;
  const RunMode mode = DecideRunMode(request);
  const bool rightCount = before.size() == kArgumentCount;
  if (rightCount && IsMode(before[kModeArgument], 'U')) {
    FUZZ_CHECK(mode == RunMode::kCheck);
  } else if (rightCount && IsMode(before[kModeArgument], 'X')) {
    FUZZ_CHECK(mode == RunMode::kExplicitCheck);
  } else {
    FUZZ_CHECK(mode == RunMode::kNone);
  }
  // Only an explicit check's mode is rewritten, and only to "PU".
  for (size_t i = 0; i < before.size(); ++i) {
    if (i == kModeArgument && IsMode(before[i], 'X')) {
      FUZZ_CHECK(request.arguments[i] == "PU");
    } else {
      FUZZ_CHECK(request.arguments[i] == before[i]);
    }
  }
  return 0;
}
