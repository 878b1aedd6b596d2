// The command line a host product starts the program with: tokens in angle brackets,
// the product name first, then eight arguments:
//   <Product><PU|PX><info URL><info file><installed version><settings file>
//   <settings section><settings key><download URL>
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct UpdateRequest {
  std::string productName;
  std::vector<std::string> arguments;
};

// Positions in UpdateRequest::arguments.
enum RequestArgument : size_t {
  kModeArgument = 0,
  kInfoUrlArgument,
  kInfoFileNameArgument,
  kInstalledVersionArgument,
  kSettingsFileNameArgument,
  kSettingsSectionArgument,
  kSettingsKeyArgument,
  kDownloadUrlArgument,
  kArgumentCount
};

// Splits the text into bracketed tokens. The first non-empty token is the product name;
// every later token, empty ones included, is an argument. Text outside brackets is
// ignored, and a final token without its ">" is dropped.
UpdateRequest ParseCommandLine(std::string_view commandLine);

enum class RunMode {
  kNone,           // nothing to do
  kCheck,          // "PU": announce a newer version
  kExplicitCheck,  // "PX": also open the download page when nothing newer exists
};

// Why a command line has no mode.
enum class ModeProblem : uint8_t {
  kNone,
  kNoArguments,    // no token after the product name (or no token at all)
  kUnknownMode,    // argument 0 is neither PU nor PX
  kArgumentCount,  // not exactly kArgumentCount arguments
};

// Decides the mode from argument 0, compared without regard to ASCII case. "PX" is
// rewritten to "PU". A check needs exactly kArgumentCount arguments. For kNone,
// `problem` (when given) says why.
RunMode DecideRunMode(UpdateRequest& request, ModeProblem* problem = nullptr);
