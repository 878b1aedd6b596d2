// The host's command line: tokens and the text between them made from arbitrary bytes,
// written into brackets and read back through ParseCommandLine and DecideRunMode. What
// must hold: the tokens written come back (empty ones before the product's name aside),
// text outside the brackets changes nothing, and a last token without its ">" is dropped.
//
// Input: the number of tokens (the last byte), then for each token the text before it
// and the token itself, then the text after the last one, each as FuzzedDataProvider's
// random-length string (ended by a backslash and another character); what remains
// follows a final "<".
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_support.h"

namespace {

std::string Without(char removed, std::string text) {
  text.erase(std::remove(text.begin(), text.end(), removed), text.end());
  return text;
}

bool SameRequest(const UpdateRequest& a, const UpdateRequest& b) {
  return a.productName == b.productName && a.arguments == b.arguments;
}

bool IsMode(const std::string& text, char second) {
  return text.size() == 2 && (text[0] == 'P' || text[0] == 'p') &&
         (text[1] == second || text[1] == second - 'A' + 'a');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const size_t count = provider.ConsumeIntegralInRange<size_t>(0, 12);
  std::vector<std::string> tokens;
  std::string bare;      // the tokens in brackets, nothing between them
  std::string written;   // the same with text outside the brackets
  for (size_t i = 0; i < count; ++i) {
    // Outside a token "<" would open one; inside, ">" would close it.
    written += Without('<', provider.ConsumeRandomLengthString(64));
    tokens.push_back(Without('>', provider.ConsumeRandomLengthString(64)));
    bare += "<" + tokens.back() + ">";
    written += "<" + tokens.back() + ">";
  }
  written += Without('<', provider.ConsumeRandomLengthString(64));
  const std::string unterminated = "<" + Without('>', provider.ConsumeRemainingBytesAsString());

  // Empty tokens before the first non-empty one are dropped; all later ones count.
  const auto name = std::find_if(tokens.begin(), tokens.end(),
                                 [](const std::string& token) { return !token.empty(); });
  UpdateRequest request = ParseCommandLine(bare);
  FUZZ_CHECK(request.productName == (name != tokens.end() ? *name : ""));
  FUZZ_CHECK(request.arguments ==
             std::vector<std::string>(name != tokens.end() ? name + 1 : name, tokens.end()));
  FUZZ_CHECK(SameRequest(ParseCommandLine(written), request));
  FUZZ_CHECK(SameRequest(ParseCommandLine(written + unterminated), request));

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
