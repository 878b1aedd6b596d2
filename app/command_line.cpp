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

RunMode DecideRunMode(UpdateRequest& request, ModeProblem* problem) {
  ModeProblem why = ModeProblem::kNoArguments;
  bool explicitCheck = false;
  if (!request.arguments.empty()) {
    std::string& mode = request.arguments[kModeArgument];
    if (EqualsIgnoringAsciiCase(mode, "PX")) {
      explicitCheck = true;
      mode = "PU";
    }
    why = !EqualsIgnoringAsciiCase(mode, "PU")              ? ModeProblem::kUnknownMode
          : request.arguments.size() != kArgumentCount ? ModeProblem::kArgumentCount
                                                            : ModeProblem::kNone;
  }
  if (problem != nullptr) *problem = why;
  if (why != ModeProblem::kNone) return RunMode::kNone;
  return explicitCheck ? RunMode::kExplicitCheck : RunMode::kCheck;
}
