// Version numbers: the installed version from the command line, the published one from
// the update-information file, and the rule that decides which is newer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct ProgramVersion {
  double version = 0.0;  // for example 3.0 or 3.5
  int32_t build = 0;     // the build within that version
};

// Reads "version.build", split at the last point: "3.0.012" gives 3.0 and 12, "4.012"
// gives 4.0 and 12. Without a point the whole text is the version and the build is 0.
// A part that does not convert as a number gives 0, so an unreadable installed version
// counts as the oldest one.
ProgramVersion ParseInstalledVersion(std::string_view text);

// The two parts ParseInstalledVersion converts: the text before the last point and the
// text after it; without a point, all of the text and no build.
struct InstalledVersionText {
  std::string_view version;
  std::string_view build;
  bool hasBuild = false;
};
InstalledVersionText SplitInstalledVersion(std::string_view text);

// The rule of the comparison that decided, in the order the rules are tried.
enum class VersionCase : uint8_t {
  kVersionLarger,   // newest's version is larger, however little: newer, builds not compared
  kBuildsDecide,    // the versions are equal, or newest's is smaller by less than 1e-6
  kVersionSmaller,  // newest's version is smaller by 1e-6 or more: not newer, whatever the builds
};

struct VersionDecision {
  bool newer = false;
  VersionCase versionCase = VersionCase::kBuildsDecide;  // which field decided, and why
};

// A larger version is newer, however small the difference; versions within 1e-6 of each
// other (or newest smaller by less than that) are compared by build.
VersionDecision DecideVersion(const ProgramVersion& newest, const ProgramVersion& installed);
bool IsNewerVersion(const ProgramVersion& newest, const ProgramVersion& installed);

// "%d.0.%03d" of the version truncated toward zero and the build: 3.5 and 14 give
// "3.0.014". The truncated version is clamped to the 32-bit range.
std::string FormatDisplayVersion(const ProgramVersion& newest);
