#include "tools/info/file_check/report_json.h"

namespace {

// A line number of the file, or null for none.
void WriteLine(JsonWriter& json, int line) {
  line != 0 ? json.Integer(line) : json.Null();
}

}  // namespace

const char* VersionCaseId(VersionCase versionCase) {
  switch (versionCase) {
    case VersionCase::kVersionLarger: return "version-larger";
    case VersionCase::kBuildsDecide: return "builds-decide";
    case VersionCase::kVersionSmaller: return "version-smaller";
  }
  return "builds-decide";
}

void WriteCheckMembers(JsonWriter& json, const InfoCheck& check, const ReportSubject& subject) {
  const UpdateInfo& info = check.info;
  json.Key("source").String(subject.path);
  json.Key("bytes").Integer(static_cast<int64_t>(subject.fileSize));
  json.Key("lines").Integer(check.lineCount);

  json.Key("values").BeginObject();
  json.Key("VERSION");
  check.versionLine != 0 ? json.Number(info.newest.version) : json.Null();
  json.Key("BUILD");
  check.buildLine != 0 ? json.Integer(info.newest.build) : json.Null();
  for (size_t n = 0; n < kMessageCount; ++n) {
    json.Key(InfoKeyName(MessageKey(n)));
    info.messages[n].empty() ? json.Null() : json.String(info.messages[n]);
  }
  json.EndObject();
  json.Key("value_lines").BeginObject();
  WriteLine(json.Key("VERSION"), check.versionLine);
  WriteLine(json.Key("BUILD"), check.buildLine);
  for (size_t n = 0; n < kMessageCount; ++n) {
    WriteLine(json.Key(InfoKeyName(MessageKey(n))), check.messageLine[n]);
  }
  json.EndObject();

  json.Key("installed").BeginObject();
  json.Key("text").String(subject.installedText);
  json.Key("version").Number(check.installed.version);
  json.Key("build").Integer(check.installed.build);
  json.EndObject();
  json.Key("newer").Bool(check.decision.newer);
  json.Key("reason").String(check.reason);
  json.Key("decided_by").String(VersionCaseId(check.decision.versionCase));
  json.Key("display_version").String(check.displayVersion);
  json.Key("notice").BeginObject();
  json.Key("standard_sentence").Bool(check.usesTemplate);
  json.Key("text").String(check.noticeText);
  json.EndObject();

  size_t omitted = 0;
  for (const size_t count : check.omitted) omitted += count;
  json.Key("warnings_not_listed").Integer(static_cast<int64_t>(omitted));
}

void WriteCheckWarnings(JsonWriter& json, const InfoCheck& check) {
  for (const InfoWarning& warning : check.warnings) {
    json.BeginObject();
    json.Key("id").String(TrapId(warning.trap));
    WriteLine(json.Key("line"), warning.line);
    json.Key("text").String(warning.text);
    json.EndObject();
  }
}
