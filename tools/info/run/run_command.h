// falwick-info run (Windows build): Falwick's own run for the host's `commandLine`, on this
// machine, as a dry run, with Falwick.EXE in `directory` (empty: beside the tool). It
// prints each step, the findings and, last, the outcome, as text or (`json`) as JSON, and
// returns the exit code of the findings (kCouldNotCheck when the run cannot be made).
#pragma once

#include <string>

int RunCommand(const std::string& commandLine, const std::string& directory, bool json);
