// falwick-info run's report of a dry run: every step with what it found, the machine
// checks beside it, the warnings and the outcome, as text for a person (the last line
// "Outcome: ...") or as one JSON object.
#pragma once

#include <string>
#include <vector>

#include "tools/info/run_check/dry_run.h"
#include "tools/info/run_check/machine_check.h"
#include "tools/info/url_check/fetch_report.h"

// `warnings`: the run's own (DryRunWarnings); the machine check's follow them, in text
// and JSON. `machine`: null when the command line has no mode (nothing was checked).
std::string FormatDryRun(const DryRun& run, const DryRunVerdict& verdict,
                         const std::vector<FetchWarning>& warnings, const MachineCheck* machine);

// {"outcome", "reason", "sentence", "status", "error", "from_cache", "warnings", "steps"},
// the machine check under "steps" as "machine" (WriteMachineJson; null without a mode).
std::string DryRunJson(const DryRun& run, const DryRunVerdict& verdict,
                       const std::vector<FetchWarning>& warnings, const MachineCheck* machine);
