// What a run decides at each step and why, told as it goes to a tool that shows a run to a
// person (falwick-info run). Falwick.EXE runs without one: each step then costs a test of
// a null pointer.
#pragma once

#include <string>

#include "app/command_line.h"
#include "app/run_paths.h"
#include "ui/notice.h"
#include "update/download.h"
#include "update/info_file.h"
#include "update/program_version.h"

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The command line as parsed, before the mode is decided (which rewrites "PX").
  virtual void Parsed(const UpdateRequest& request) = 0;
  // The mode, or, for RunMode::kNone, why there is none.
  virtual void Decided(RunMode mode, ModeProblem problem) = 0;
  // The run's paths as far as they could be had (FindRunPaths).
  virtual void Found(const RunPaths& paths) = 0;
  // How the connectivity test and the Internet handle ended.
  virtual void Connected(ConnectResult result) = 0;
  // Whether the info URL could be opened.
  virtual void Fetched(bool opened) = 0;
  // The versions compared, what the info file gave, and the rule that decided.
  virtual void Compared(const ProgramVersion& installed, const UpdateInfo& info,
                        const VersionDecision& decision) = 0;
  // The notice about to be shown, its box as the setting was read.
  virtual void Announcing(const NoticeDialogData& dialog) = 0;
  // The page about to be opened in the browser.
  virtual void Opening(const std::string& url) = 0;
};
