// falwick-info's report of a check as text, for a person to read (README shows it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tools/info/file_check/file_check.h"

// Where the checked file came from and whom it was checked for, as the report names them.
struct ReportSubject {
  std::string_view path;
  size_t fileSize = 0;
  std::string_view installedText;  // as given, or the default
  bool installedGiven = false;
};

// The report, lines ended by "\n": the values read, the verdict, the display version, the
// notice text and the warnings.
std::string FormatCheckReport(const InfoCheck& check, const ReportSubject& subject);
