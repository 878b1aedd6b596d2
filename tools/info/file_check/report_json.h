// falwick-info's report of a check as JSON, for a release pipeline: the same facts as
// the text report (report_text.h), under stable names.
#pragma once

#include "tools/info/file_check/report_text.h"
#include "tools/info/file_check/file_check.h"
#include "tools/info/common/json_writer.h"

// Writes the members of the check into the object `json` is writing: "source", "bytes",
// "lines", "values", "value_lines", "installed", "newer", "reason", "decided_by",
// "display_version", "notice" and "warnings_not_listed".
void WriteCheckMembers(JsonWriter& json, const InfoCheck& check, const ReportSubject& subject);

// Writes the check's warnings into the array `json` is writing, each {"id", "line",
// "text"}; "line" is null for a warning about the whole file.
void WriteCheckWarnings(JsonWriter& json, const InfoCheck& check);

// The name of the rule that decided: "version-larger", "builds-decide", "version-smaller".
const char* VersionCaseId(VersionCase versionCase);
