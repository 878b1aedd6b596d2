#include "tools/info/file_check/report_text.h"

#include "tools/info/common/show_text.h"

namespace {

void AddNoticeText(std::string& out, const InfoCheck& check) {
  out += std::string("Notice text (") +
         (check.usesTemplate ? "the standard sentence"
                             : "the maker's messages, joined by blank lines") +
         (check.decision.newer ? "" : "; not shown for this installed version") + "):\n";
  const std::string_view text = check.noticeText;
  for (size_t start = 0;;) {
    const size_t end = text.find("\r\n", start);
    const std::string line = EscapeBytes(text.substr(start, end - start));
    out += line.empty() ? "  |\n" : "  | " + line + "\n";
    if (end == std::string_view::npos) break;
    start = end + 2;
  }
}

void AddWarnings(std::string& out, const InfoCheck& check) {
  if (check.warnings.empty()) {
    out += "No warnings.\n";
    return;
  }
  size_t omitted = 0;
  for (const size_t count : check.omitted) omitted += count;
  out += "Warnings (" + std::to_string(check.warnings.size() + omitted) + "):\n";
  for (const InfoWarning& warning : check.warnings) {
    out += warning.line == 0 ? "  file: " : "  line " + std::to_string(warning.line) + ": ";
    out += warning.text + "\n";
  }
  if (omitted != 0) {
    out += "  (" + std::to_string(omitted) + " more warnings like those above are not shown)\n";
  }
}

}  // namespace

std::string FormatCheckReport(const InfoCheck& check, const ReportSubject& subject) {
  const ProgramVersion& installed = check.installed;
  const UpdateInfo& info = check.info;
  std::string out;
  AppendRow(out, "File",
         std::string(subject.path) + " (" + std::to_string(subject.fileSize) + " bytes, " +
             std::to_string(check.lineCount) + " lines)");
  AppendRow(out, "VERSION",
         check.versionLine != 0 ? FormatNumber(info.newest.version)
                                : "not set (stays " + FormatNumber(installed.version) +
                                      ", the installed version)",
         check.versionLine);
  AppendRow(out, "BUILD",
         check.buildLine != 0 ? std::to_string(info.newest.build)
                              : "not set (stays " + std::to_string(installed.build) +
                                    ", the installed build)",
         check.buildLine);
  for (size_t n = 0; n < kMessageCount; ++n) {
    const std::string& message = info.messages[n];
    AppendRow(out, InfoKeyName(MessageKey(n)),
           message.empty() ? std::string("none") : "\"" + EscapeBytes(message) + "\"",
           message.empty() ? 0 : check.messageLine[n]);
  }
  AppendRow(out, "Installed",
         std::string(subject.installedText) + " = version " + FormatNumber(installed.version) +
             ", build " + std::to_string(installed.build) +
             (subject.installedGiven ? "" : " (default: the oldest version; see --installed)"));
  AppendRow(out, "Newer", std::string(check.decision.newer ? "yes" : "no") + ": " + check.reason);
  AppendRow(out, "Notice",
         check.decision.newer ? "the notice dialog appears"
                              : "none: Falwick ends without showing anything");
  AppendRow(out, "Display version",
         check.displayVersion +
             (check.usesTemplate ? "" : " (not shown: the maker's messages replace the "
                                        "standard sentence)"));
  AddNoticeText(out, check);
  AddWarnings(out, check);
  return out;
}
