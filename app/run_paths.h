// The run's first steps, taken before anything is touched: the program's directory, the
// files the host's command line names in it, and the check that the download cannot
// overwrite the host's settings. Falwick.EXE and falwick-info's dry run both take them
// here.
#pragma once

#include <optional>
#include <string>

#include "app/command_line.h"
#include "platform/files.h"
#include "update/host_setting.h"

// How a run ended, in the order the run's steps can end it.
enum class RunEnd {
  kEmptyCommandLine,
  kBadCommandLine,  // a mode other than PU or PX, or not exactly eight arguments
  kPathTooLong,     // the program's own path cannot be had whole
  kSameFile,        // the info file would be the settings file, under another name
  kOffline,         // not on line, or no Internet handle
  kUrlNotOpened,
  kNotNewer,  // nothing newer was read (the explicit check then opened the page)
  kNewer,     // the notice was shown
};

struct RunPaths {
  std::string directory;    // the program's, ending in a backslash
  std::string info;         // where the download is stored, read and deleted
  SettingLocation setting;  // the disable-checking value in the host's settings file
};

// The program's directory, ending in a backslash, or nothing when the module path cannot
// be had whole.
std::optional<std::string> ProgramDirectory(Files& files);

// The paths of a check's `request` (kArgumentCount arguments), in `paths` as far as they
// could be had. Nothing when the run goes on; otherwise how it ends here: kPathTooLong
// (`paths` left empty) or kSameFile (`paths` filled in).
std::optional<RunEnd> FindRunPaths(Files& files, const UpdateRequest& request, RunPaths& paths);
