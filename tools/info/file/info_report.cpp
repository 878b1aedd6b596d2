// The check's facts in a report: the values read, the verdict, the display version and the
// notice text, each once for the JSON and the text.
#include "tools/info/file/info_check.h"
#include "tools/info/report/phrases.h"

namespace {

const char* DecidedBy(VersionCase versionCase) {
  static const char* const kNames[] = {"version-larger", "builds-decide", "version-smaller"};
  return kNames[static_cast<size_t>(versionCase)];
}

Fact LineOf(int line) { return line != 0 ? Fact::Integer(line) : Fact(); }

std::string AtLine(int line) { return line != 0 ? " (line " + std::to_string(line) + ")" : ""; }

// "  | " before each line of the notice text, as the dialog breaks it at CR LF.
std::string NoticeLines(std::string_view text) {
  std::string out;
  for (size_t start = 0;;) {
    const size_t end = text.find("\r\n", start);
    const std::string line = EscapeBytes(text.substr(start, end - start));
    out += line.empty() ? "\n  |" : "\n  | " + line;
    if (end == std::string_view::npos) return out;
    start = end + 2;
  }
}

}  // namespace

void AddInfoCheck(Fact& report, const InfoCheck* check, const std::string& source,
                  size_t bytes, const std::string& installedText, bool installedGiven) {
  const ProgramVersion installed = check != nullptr ? check->installed
                                                    : ParseInstalledVersion(installedText);
  report.Add("source", Fact::String(source))
      .Row("File", check == nullptr ? source + ": nothing read"
                                    : source + " (" + std::to_string(bytes) + " bytes, " +
                                          std::to_string(check->lineCount) + " lines)");
  report.Add("bytes", check != nullptr ? Fact::Integer(static_cast<int64_t>(bytes)) : Fact());
  report.Add("lines", check != nullptr ? Fact::Integer(check->lineCount) : Fact());
  Fact& values = report.Add("values", check != nullptr ? Fact::Object() : Fact());
  Fact& lines = report.Add("value_lines", check != nullptr ? Fact::Object() : Fact());
  if (check != nullptr) {
    const ProgramVersion& newest = check->info.newest;
    values.Add("VERSION", check->versionLine != 0 ? Fact::Number(newest.version) : Fact())
        .Row("VERSION", (check->versionLine != 0
                             ? FormatNumber(newest.version)
                             : "not set (stays " + FormatNumber(installed.version) +
                                   ", the installed version)") +
                            AtLine(check->versionLine));
    values.Add("BUILD", check->buildLine != 0 ? Fact::Integer(newest.build) : Fact())
        .Row("BUILD", (check->buildLine != 0 ? std::to_string(newest.build)
                                             : "not set (stays " + std::to_string(installed.build) +
                                                   ", the installed build)") +
                          AtLine(check->buildLine));
    lines.Add("VERSION", LineOf(check->versionLine));
    lines.Add("BUILD", LineOf(check->buildLine));
    for (size_t n = 0; n < kMessageCount; ++n) {
      const std::string name(InfoKeyName(MessageKey(n)));
      const std::string& message = check->info.messages[n];
      values.Add(name, Fact::OptionalString(message))
          .Row(name, message.empty() ? "none"
                                     : "\"" + EscapeBytes(message) + "\"" +
                                           AtLine(check->messageLine[n]));
      lines.Add(name, LineOf(check->messageLine[n]));
    }
  }
  Fact& given = report.Add("installed", Fact::Object());
  given.Add("text", Fact::String(installedText));
  given.Add("version", Fact::Number(installed.version));
  given.Add("build", Fact::Integer(installed.build));
  given.Row("Installed", installedText + " = version " + FormatNumber(installed.version) +
                             ", build " + std::to_string(installed.build) +
                             (installedGiven ? "" : " (default: the oldest version; see --installed)"));
  if (check == nullptr) {
    report.Add("newer", Fact()).Row("Newer", "unknown: nothing was read");
    for (const char* key : {"reason", "decided_by", "display_version", "notice"}) {
      report.Add(key, Fact());
    }
    return;
  }
  const bool newer = check->decision.newer;
  report.Add("newer", Fact::Bool(newer))
      .Row("Newer", std::string(newer ? "yes" : "no") + ": " + check->reason);
  report.Add("reason", Fact::String(check->reason));
  report.Add("decided_by", Fact::String(DecidedBy(check->decision.versionCase)));
  report.Line("Notice", newer ? "the notice dialog appears"
                              : "none: Falwick ends without showing anything");
  report.Add("display_version", Fact::String(check->displayVersion))
      .Row("Display version", check->displayVersion +
                                  (check->usesTemplate ? "" : " (not shown: the maker's messages "
                                                              "replace the standard sentence)"));
  Fact& notice = report.Add("notice", Fact::Object());
  notice.Add("standard_sentence", Fact::Bool(check->usesTemplate));
  notice.Add("text", Fact::String(check->noticeText));
  notice.Row("Notice text",
             std::string(check->usesTemplate ? "the standard sentence"
                                             : "the maker's messages, joined by blank lines") +
                 (newer ? "" : "; not shown for this installed version") +
                 NoticeLines(check->noticeText));
}
