// falwick-info run's report as one JSON object, the steps under "steps".
#include "tools/info/run_check/dry_run_report.h"

#include "tools/info/common/json_writer.h"
#include "tools/info/common/wininet_errors.h"
#include "tools/info/file_check/report_json.h"

namespace {

const char* ReadName(BodyRead read) {
  switch (read) {
    case BodyRead::kDownload: return "download";
    case BodyRead::kStaleFile: return "stale-file";
    case BodyRead::kNothing: break;
  }
  return "nothing";
}

void WriteProbeJson(JsonWriter& json, const WriteProbe& probe) {
  json.BeginObject();
  json.Key("path").String(probe.path);
  json.Key("exists").Bool(probe.exists);
  json.Key("writable").Bool(probe.writable);
  json.Key("read_only").Bool(probe.readOnly);
  json.Key("under_program_files").Bool(probe.underProgramFiles);
  json.Key("error");
  probe.error != 0 ? json.Integer(probe.error) : json.Null();
  json.Key("cause");
  probe.writable ? json.Null() : json.String(WriteProblemCause(probe));
  json.EndObject();
}

void WriteCommandLine(JsonWriter& json, const DryRun& run) {
  json.BeginObject();
  json.Key("text").String(run.commandLine);
  json.Key("product").String(run.request.productName);
  json.Key("arguments").BeginArray();
  for (const std::string& argument : run.request.arguments) json.String(argument);
  json.EndArray();
  json.Key("mode");
  run.mode == RunMode::kNone ? json.Null()
                             : json.String(run.mode == RunMode::kCheck ? "PU" : "PX");
  json.Key("problem");
  run.mode == RunMode::kNone && run.end != RunEnd::kEmptyCommandLine
      ? json.String(CommandLineProblem(run.request))
      : json.Null();
  json.EndObject();
}

void WritePaths(JsonWriter& json, const DryRun& run) {
  if (run.mode == RunMode::kNone) {
    json.Null();
    return;
  }
  json.BeginObject();
  json.Key("module").String(run.modulePath);
  json.Key("program_directory");
  if (run.programDirectory.empty()) {
    json.Null().EndObject();
    return;
  }
  json.String(run.programDirectory);
  WriteProbeJson(json.Key("directory"), run.directory);
  WriteProbeJson(json.Key("info"), run.info);
  json.Key("stale_info").Bool(run.staleInfo);
  json.Key("stale_info_deletable").Bool(run.staleDeletable);
  WriteProbeJson(json.Key("settings"), run.settings);
  json.EndObject();
}

void WriteConnection(JsonWriter& json, const ConnectionSeen& seen) {
  if (!seen.stateAsked) {
    json.Null();
    return;
  }
  json.BeginObject();
  json.Key("connected").Bool(seen.stateResult);
  json.Key("deadline_passed").Bool(seen.stateDeadlinePassed);
  json.Key("flags").Integer(seen.flags);
  json.Key("flag_names").String(DescribeConnectionFlags(seen.flags));
  json.Key("internet_handle");
  seen.handleAsked ? json.Bool(seen.handleOpened) : json.Null();
  json.Key("error");
  seen.handleAsked && !seen.handleOpened ? json.Integer(seen.handleError) : json.Null();
  json.Key("proxy");
  seen.proxyAccessType == 3 ? json.String(seen.proxyServer) : json.Null();
  json.Key("proxy_bypass");
  seen.proxyBypass.empty() ? json.Null() : json.String(seen.proxyBypass);
  json.EndObject();
}

void WriteAnswer(JsonWriter& json, const DryRun& run) {
  json.Key("setting");
  if (run.mode == RunMode::kNone || run.programDirectory.empty()) {
    json.Null();
  } else {
    json.BeginObject();
    json.Key("file").String(run.setting.file);
    json.Key("section").String(run.setting.section);
    json.Key("key").String(run.setting.key);
    json.Key("stored").String(run.settingText);
    json.Key("disable_checking").Integer(run.disableChecking);
    json.EndObject();
  }
  json.Key("notice");
  if (run.noticeShown) {
    json.BeginObject();
    json.Key("product").String(run.notice.productName);
    json.Key("display_version").String(run.notice.displayVersion);
    json.Key("text").String(run.notice.noticeText);
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("browser").BeginObject();
  json.Key("url");
  run.browserAsked ? json.String(run.browserUrl) : json.Null();
  json.Key("htm_program");
  run.htmProgram.empty() ? json.Null() : json.String(run.htmProgram);
  json.Key("find_executable_result").Integer(run.htmResult);
  json.EndObject();
}

}  // namespace

std::string DryRunJson(const DryRun& run, const DryRunVerdict& verdict,
                       const std::vector<FetchWarning>& warnings, const MachineCheck* machine) {
  const FetchedResponse* final = run.fetchAsked && run.fetch.opened ? run.fetch.Final() : nullptr;
  JsonWriter json;
  json.BeginObject();
  json.Key("outcome").String(verdict.outcome);
  json.Key("reason").String(verdict.reason);
  json.Key("sentence").String(verdict.sentence);
  json.Key("status");
  final != nullptr ? json.Integer(final->status) : json.Null();
  json.Key("error");
  if (run.fetchAsked && !run.fetch.opened && run.fetch.error != 0) {
    json.Integer(run.fetch.error);
  } else if (verdict.reason == "no-internet-handle") {
    json.Integer(run.connection.handleError);
  } else {
    json.Null();
  }
  json.Key("from_cache").Bool(run.fetch.fromCache.value_or(false));
  json.Key("warnings").BeginArray();
  WriteWarningsJson(json, warnings);
  if (machine != nullptr) WriteMachineWarningsJson(json, machine->warnings);
  json.EndArray();

  json.Key("steps").BeginObject();
  WriteCommandLine(json.Key("command_line"), run);
  WritePaths(json.Key("paths"), run);
  WriteConnection(json.Key("connection"), run.connection);
  json.Key("fetch");
  run.fetchAsked ? WriteFetchJson(json, run.fetch) : (void)json.Null();
  json.Key("read");
  run.fetchAsked && run.fetch.opened ? json.String(ReadName(run.read)) : json.Null();
  json.Key("check");
  if (run.check) {
    const std::string& installed = run.request.arguments[kInstalledVersionArgument];
    json.BeginObject();
    WriteCheckMembers(json, *run.check,
                      ReportSubject{ReadName(run.read), run.readBytes.size(), installed, true});
    json.Key("warnings").BeginArray();
    WriteCheckWarnings(json, *run.check);
    json.EndArray().EndObject();
  } else {
    json.Null();
  }
  WriteAnswer(json, run);
  json.Key("machine");
  machine != nullptr ? WriteMachineJson(json, *machine) : (void)json.Null();
  json.EndObject();
  json.EndObject();
  return json.Text();
}
