// The verdict and what the notice shows: whether the file announces a newer version and
// why, the display version and the notice text, and the traps in what the user sees.
#include <cmath>

#include "tools/info/file/info_check.h"
#include "tools/info/report/phrases.h"
#include "base/number_scan.h"
#include "ui/notice_template.h"
#include "update/notice_text.h"

namespace {

// Characters of `word` that the text control shows: an "&" prefix takes no room.
size_t VisibleLength(std::string_view word) {
  size_t length = 0;
  for (size_t i = 0; i < word.size(); ++i) {
    if (word[i] == '&') ++i;  // "&&" shows one "&", "&x" an underlined "x"
    if (i < word.size()) ++length;
  }
  return length;
}

// The lines one paragraph takes when wrapped at spaces; a word longer than a line is
// broken where the line ends.
size_t WrappedLines(std::string_view paragraph) {
  size_t lines = 1;
  size_t column = 0;
  while (!paragraph.empty()) {
    const size_t space = paragraph.find(' ');
    const size_t length = VisibleLength(paragraph.substr(0, space));
    paragraph.remove_prefix(space == std::string_view::npos ? paragraph.size() : space + 1);
    if (length == 0) continue;
    if (column != 0 && column + 1 + length > kNoticeLineCharacters) {
      ++lines;
      column = 0;
    }
    column += (column != 0 ? 1 : 0) + length;
    for (; column > kNoticeLineCharacters; column -= kNoticeLineCharacters) ++lines;
  }
  return lines;
}

}  // namespace

size_t EstimateNoticeLines(std::string_view noticeText) {
  size_t lines = 0;
  for (;;) {
    const size_t end = noticeText.find_first_of("\r\n");
    lines += WrappedLines(noticeText.substr(0, end));
    if (end == std::string_view::npos) return lines;
    const bool pair = noticeText.compare(end, 2, "\r\n") == 0;  // one line end
    noticeText.remove_prefix(end + (pair ? 2 : 1));
  }
}

void InfoChecker::Conclude() {
  const ProgramVersion& newest = result_.info.newest;
  result_.decision = DecideVersion(newest, result_.installed);  // the program's own rule
  result_.reason = Reason();
  result_.displayVersion = FormatDisplayVersion(newest);
  const std::string messages = ComposeNoticeText(result_.info.messages);
  result_.usesTemplate = messages.empty();
  result_.noticeText =
      ChooseNoticeText(messages, FALWICK_NOTICE_TEMPLATE, product_, result_.displayVersion);
  CheckDisplayedValues();
  CheckNoticeText();
}

std::string InfoChecker::Reason() const {
  const ProgramVersion& installed = result_.installed;
  const ProgramVersion& newest = result_.info.newest;
  const bool versionSet = result_.versionLine != 0;
  if (!versionSet && result_.buildLine == 0) {
    return "the file sets neither VERSION nor BUILD, so the published version is the "
           "installed one";
  }
  const std::string installedText = FormatNumber(installed.version);
  const std::string newestText = FormatNumber(newest.version);
  if (result_.decision.versionCase == VersionCase::kVersionLarger) {
    return "VERSION " + newestText + " is larger than the installed version " + installedText;
  }
  if (result_.decision.versionCase == VersionCase::kVersionSmaller) {
    return "VERSION " + newestText + " is smaller than the installed version " +
           installedText + " (the builds are then not compared)";
  }
  std::string reason =  // the builds decide
      (versionSet ? "VERSION " + newestText +
                        (newest.version == installed.version ? " equals"
                                                             : " counts as equal (within 1e-6) to")
                  : std::string("without VERSION the published version is")) +
      " the installed version " + installedText + ", and BUILD " + std::to_string(newest.build) +
      (result_.decision.newer ? " is larger than" : " is not larger than") +
      " the installed build " + std::to_string(installed.build);
  if (!result_.decision.newer && versionSet && result_.buildLine != 0 &&
      newest.version == installed.version && newest.build == installed.build) {
    reason += " (the file announces the installed version itself)";
  }
  return reason;
}

// VERSION and BUILD as the user meets them: in the comparison, and in the standard
// sentence's display version (which the maker's messages, when there are any, replace).
void InfoChecker::CheckDisplayedValues() {
  const ProgramVersion& installed = result_.installed;
  const ProgramVersion& newest = result_.info.newest;
  const bool versionSet = result_.versionLine != 0;
  const bool buildSet = result_.buildLine != 0;
  if (!versionSet && !buildSet) {
    Warn(Trap::kNoVersionNoBuild, 0,
         "Falwick reads no VERSION and no BUILD from this file, so the published version "
         "stays equal to the installed one: the file never announces anything, whatever "
         "version a user has",
         "give VERSION and BUILD lines, such as VERSION=3.5 and BUILD=14");
  } else if (!buildSet && result_.usesTemplate) {
    Warn(Trap::kVersionWithoutBuild, 0,
         "there is no BUILD: Falwick keeps each user's own build, so the notice shows the "
         "installed build (" +
             result_.displayVersion + " for this installed version)",
         "give a BUILD line");
  } else if (!versionSet) {
    Warn(Trap::kBuildWithoutVersion, 0,
         "there is no VERSION: Falwick keeps each user's own version and compares BUILD " +
             std::to_string(newest.build) + " with the build of whatever version a user has",
         "give a VERSION line");
  }
  if (versionSet && result_.usesTemplate && std::trunc(newest.version) != newest.version) {
    const bool looksOlder = result_.decision.newer &&
                            std::trunc(newest.version) == std::trunc(installed.version) &&
                            newest.build <= installed.build;
    Warn(Trap::kVersionFraction, result_.versionLine,
         "VERSION " + FormatNumber(newest.version) +
             " has a fraction that the notice does not show: it announces " +
             result_.displayVersion + " (the whole part of VERSION, \".0.\", then the build)" +
             (looksOlder ? "; to a user of " + FormatDisplayVersion(installed) +
                               " it announces that as newer"
                         : std::string()),
         "", looksOlder ? Severity::kWarning : Severity::kNote);
  }
  if (result_.usesTemplate && newest.build < 0) {
    Warn(Trap::kNegativeBuild, result_.buildLine,
         "BUILD " + std::to_string(newest.build) + " is negative: the notice shows it as " +
             result_.displayVersion,
         "give a BUILD of 0 or more");
  }
}

void InfoChecker::CheckNoticeText() {
  const size_t lines = EstimateNoticeLines(result_.noticeText);
  if (lines > kNoticeLines) {
    Warn(Trap::kNoticeTooLong, 0,
         "the notice text takes about " + std::to_string(lines) +
             " lines in the dialog, whose text area shows about " +
             std::to_string(kNoticeLines) + " of about " +
             std::to_string(kNoticeLineCharacters) +
             " characters: the rest is cut off",
         "shorten the messages (see the notice with scripts/preview)");
  }
  const size_t ampersand = FindUnderliningAmpersand(product_);
  if (result_.usesTemplate && ampersand != std::string_view::npos) {
    Warn(Trap::kAmpersand, 0,
         "the product name: " + DescribeAmpersand(product_, ampersand) +
             " in the standard sentence: in the dialog \"&\" underlines the next character",
         "write \"&&\" for \"&\" in the host's product token");
  }
}

Findings InstalledVersionFindings(std::string_view text) {
  const InstalledVersionText parts = SplitInstalledVersion(text);
  const ProgramVersion read = ParseInstalledVersion(text);
  const std::string reads = "Falwick reads it as version " + FormatNumber(read.version) +
                            ", build " + std::to_string(read.build);
  const std::string fix = "pass the version, a point and the build, such as 3.5.014";
  NumberScan scan;
  if (!ScanDouble(parts.version, scan) || (parts.hasBuild && !ScanInt(parts.build, scan))) {
    return {{"installed-does-not-convert", Severity::kError, 0,
             "the installed version " + Quote(text) + " does not convert as version.build: " +
                 reads + ", so whatever is published counts as newer",
             fix, {}}};
  }
  const bool plainNumber = ScanDouble(text, scan) && scan.stop == ScanStop::kEndOfText;
  if (!parts.hasBuild || plainNumber) {
    return {{"installed-without-build", Severity::kWarning, 0,
             "the installed version " + Quote(text) + " has no build: " + reads +
                 (parts.hasBuild ? " (the part after its last point is the build)" : ""),
             fix, {}}};
  }
  return {};
}
