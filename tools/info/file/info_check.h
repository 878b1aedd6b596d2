// What Falwick makes of an update-information file, for the product's maker: the values
// it reads, whether they announce a newer version and why, the exact notice text, and
// the traps that make a file read differently from how it looks. The file is read by the
// program's own ReadUpdateInfoText, whose reader reports every piece and line end it
// sees; the numbers come from ScanDouble / ScanInt, which say where they stopped; the
// verdict is DecideVersion's, the notice FormatDisplayVersion's, ComposeNoticeText's and
// ChooseNoticeText's. So the tool and the program cannot disagree.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "tools/info/report/report.h"
#include "update/info_file.h"
#include "update/program_version.h"

// The kinds of trap a file can hold, each with a stable id (TrapId) and a severity; what
// each one is, is said beside its id (info_checker.cpp).
enum class Trap {
  kFileTooLarge, kByteOrderMark, kUtf16, kNulByte, kHtml, kCtrlZ, kCrLineEnds, kLongLine,
  kKeyAfterTab, kKeyInWrongCase, kUnknownKey, kKeyWithoutEquals, kKeyReadAsAnother,
  kValueDoesNotConvert, kValuePartlyRead, kVersionDecimals, kRepeatedKey, kNoVersionNoBuild,
  kVersionWithoutBuild, kBuildWithoutVersion, kVersionFraction, kNegativeBuild, kAmpersand,
  kNonAscii, kMessageTooLong, kNoticeTooLong, kCount
};

std::string_view TrapId(Trap trap);  // "byte-order-mark"

struct InfoCheck {
  int lineCount = 0;  // as an editor counts them
  ProgramVersion installed;
  UpdateInfo info;  // what Falwick reads, started from the installed version
  int versionLine = 0;  // line whose VERSION took effect; 0 when none did
  int buildLine = 0;
  std::array<int, kMessageCount> messageLine{};  // first line of each message; 0 when none
  VersionDecision decision;  // decision.newer: the notice dialog appears
  std::string reason;        // why (not) newer, in a sentence
  std::string displayVersion;
  bool usesTemplate = false;  // no message: the standard sentence, with the display version
  std::string noticeText;     // exactly the text the dialog's text control gets
  Findings findings;  // at most kMaxFindingsPerTrap of each kind, in line order
  size_t notListed = 0;  // further ones
};

constexpr size_t kMaxFindingsPerTrap = 10;

// What the dialog's text area (298 x 60 dialog units, 8-point Arial) shows, as measured
// on the notice itself: lines of about 90 characters of ordinary text, 7 of them (an
// eighth shows only its upper half); the rest is cut off.
constexpr size_t kNoticeLineCharacters = 90;
constexpr size_t kNoticeLines = 7;

// Reads `bytes` as Falwick reads a downloaded info file, for a user who has `installed`
// and a host that calls itself `productName`.
InfoCheck CheckInfoFile(std::string_view bytes, const ProgramVersion& installed,
                        std::string_view productName);

// The traps of an installed version as the host passes it (argument 3, --installed): one
// that does not convert (an error: Falwick then takes the oldest version there is), one
// without a build, or one that reads as a plain decimal number ("3.5": version 3, build 5).
Findings InstalledVersionFindings(std::string_view text);

// The check as the members of `report`: "bytes", "lines", "values", "value_lines",
// "installed", "newer", "reason", "decided_by", "display_version" and "notice"; null
// (but "installed") when nothing was read (`check` null). `source` names what was read.
// `installedText` is the installed version as given; `installedGiven` false: the default.
void AddInfoCheck(Fact& report, const InfoCheck* check, const std::string& source,
                  size_t bytes, const std::string& installedText, bool installedGiven);

// About how many lines `noticeText` takes in the dialog's text area: it breaks lines at
// CR LF and at a CR or LF alone, and wraps at spaces; "&" prefixes take no room.
size_t EstimateNoticeLines(std::string_view noticeText);
