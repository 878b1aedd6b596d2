// falwick-info run's report of a dry run: every step with what it found, the warnings and
// the outcome, as text for a person (the last line "Outcome: ...") or as one JSON object.
#pragma once

#include <string>
#include <vector>

#include "tools/info/run_check/dry_run.h"
#include "tools/info/url_check/fetch_report.h"

std::string FormatDryRun(const DryRun& run, const DryRunVerdict& verdict,
                         const std::vector<FetchWarning>& warnings);

// {"outcome", "reason", "sentence", "status", "error", "from_cache", "warnings", "steps"}.
std::string DryRunJson(const DryRun& run, const DryRunVerdict& verdict,
                       const std::vector<FetchWarning>& warnings);
