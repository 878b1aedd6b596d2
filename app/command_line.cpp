#include "app/command_line.h"

#include "base/ascii_case.h"

UpdateRequest ParseCommandLine(std::string_view commandLine) {
  UpdateRequest request;
  size_t pos = 0;
  for (;;) {
    const size_t open = commandLine.find('<', pos);
    if (open == std::string_view::npos) break;
    const size_t close = commandLine.find('>', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view token = commandLine.substr(open + 1, close - open - 1);
    if (request.productName.empty()) {
      request.productName = std::string(token);
    } else {
      request.arguments.emplace_back(token);
    }
    pos = close + 1;
  }
  return request;
}

RunMode DecideRunMode(UpdateRequest& request) {
  if (request.arguments.empty()) return RunMode::kNone;
  std::string& mode = request.arguments[kModeArgument];
  bool explicitCheck = false;
  if (EqualsIgnoringAsciiCase(mode, "PX")) {
    explicitCheck = true;
    mode = "PU";
  }
  if (!EqualsIgnoringAsciiCase(mode, "PU") || request.arguments.size() != kArgumentCount) {
    return RunMode::kNone;
  }
  return explicitCheck ? RunMode::kExplicitCheck : RunMode::kCheck;
}
