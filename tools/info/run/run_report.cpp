// falwick-info run's report: a step for each of the run's, from its own account and what
// the watched parts saw, then the findings and the outcome.
#include "tools/info/fetch/fetch_report.h"
#include "tools/info/report/phrases.h"
#include "tools/info/run/dry_run.h"

namespace {

constexpr const char* kTokenNames[kArgumentCount] = {
    "Mode", "Info URL", "Info file", "Installed", "Settings file", "Section", "Key",
    "Download URL"};

const char* ReadName(BodyRead read) {
  static const char* const kNames[] = {"nothing", "download", "stale-file"};
  return kNames[static_cast<size_t>(read)];
}

const char* ConnectName(ConnectResult result) {
  static const char* const kNames[] = {"on-line", "not-connected", "test-timed-out",
                                       "no-modem-or-lan", "no-internet-handle"};
  return kNames[static_cast<size_t>(result)];
}

std::string ModeText(const DryRun& run, const std::string& problem) {
  if (run.mode == RunMode::kCheck) return "a check that announces a newer version";
  if (run.mode == RunMode::kExplicitCheck) {
    return "an explicit check, which also opens the download page when nothing is newer";
  }
  return "refused: " + problem;
}

// `existing`: the row of a writable file that lies there (or of a writable directory).
void AddProbe(Fact& paths, const char* key, const char* label, const WriteProbe& probe,
              const char* existing = "exists and can be written") {
  Fact& out = paths.Add(key, Fact::Object());
  out.Add("path", Fact::String(probe.path));
  out.Add("exists", Fact::Bool(probe.exists));
  out.Add("writable", Fact::Bool(probe.writable));
  out.Add("read_only", Fact::Bool(probe.readOnly));
  out.Add("under_program_files", Fact::Bool(probe.underProgramFiles));
  out.Add("error", probe.error != 0 ? Fact::Integer(probe.error) : Fact());
  out.Add("cause", probe.writable ? Fact() : Fact::String(WriteProblemCause(probe)));
  out.Row(label, probe.path + ": " +
                     (!probe.writable ? "cannot be written: " + WriteProblemCause(probe)
                                      : probe.exists ? existing
                                                     : "no file there yet, one can be created"));
}

void AddCommandLine(Fact& steps, const DryRun& run) {
  Fact& out = steps.Add("command_line", Fact::Object());
  out.Add("text", Fact::String(run.commandLine))
      .Row("Command line", run.commandLine.empty() ? "empty" : run.commandLine);
  out.Add("product", Fact::String(run.request.productName))
      .RowIf(run.parsed, "Product", Quote(run.request.productName, 200));
  const std::string problem = run.mode == RunMode::kNone && run.parsed
                                  ? CommandLineProblem(run)
                                  : std::string();
  Fact& arguments = out.Add("arguments", Fact::Array());
  const auto& args = run.request.arguments;
  for (size_t i = 0; i < args.size(); ++i) {
    arguments.Add("", Fact::String(args[i]))
        .Row(i < kArgumentCount ? kTokenNames[i] : "Extra token",
             Quote(args[i], 200) + (i == kModeArgument ? ": " + ModeText(run, problem) : ""));
  }
  out.Add("mode", run.mode == RunMode::kNone
                      ? Fact()
                      : Fact::String(run.mode == RunMode::kCheck ? "PU" : "PX"))
      .RowIf(run.parsed && args.empty(), "Mode", ModeText(run, problem));
  out.Add("problem", Fact::OptionalString(problem));
}

void AddPaths(Fact& steps, const DryRun& run) {
  Fact& out = steps.Add("paths", run.mode == RunMode::kNone ? Fact() : Fact::Object());
  if (run.mode == RunMode::kNone) return;
  out.Add("module", Fact::String(run.modulePath)).Row("Module path", run.modulePath);
  const bool found = run.paths && !run.paths->directory.empty();
  out.Add("program_directory", found ? Fact::String(run.paths->directory) : Fact())
      .RowIf(!found, "Program directory", "none: Falwick cannot have its own path whole");
  if (!found) return;
  AddProbe(out, "directory", "Program directory", run.directory,
           "a new file can be created in it");
  AddProbe(out, "info", "Info path", run.infoFile);
  out.Add("stale_info", Fact::Bool(run.staleInfo))
      .RowIf(run.staleInfo, "Stale info file",
             run.staleDeletable ? "lies there; Falwick deletes it before the download"
                                : "lies there and cannot be deleted: Falwick reads it when "
                                  "the download cannot be stored in its place");
  out.Add("stale_info_deletable", Fact::Bool(run.staleDeletable));
  AddProbe(out, "settings", "Settings path", run.settingsFile);
}

void AddConnection(Fact& steps, const DryRun& run) {
  const ConnectionSeen& seen = run.connection;
  Fact& out = steps.Add("connection", run.connected ? Fact::Object() : Fact());
  if (!run.connected) return;
  const ConnectResult result = *run.connected;
  out.Add("result", Fact::String(ConnectName(result)));
  out.Add("connected", Fact::Bool(seen.stateResult))
      .Row("Connected", result == ConnectResult::kTestTimedOut
                            ? "no: " + OffLineCause(result, seen.flags)
                            : std::string(seen.stateResult ? "yes" : "no") + ": flags " +
                                  Hex(seen.flags) + " (" + DescribeConnectionFlags(seen.flags) +
                                  ")" +
                                  (result == ConnectResult::kOnLine ||
                                           result == ConnectResult::kNoInternetHandle
                                       ? ", on line for Falwick"
                                       : ", " + OffLineCause(result, seen.flags)));
  out.Add("deadline_passed", Fact::Bool(result == ConnectResult::kTestTimedOut));
  out.Add("flags", Fact::Integer(seen.flags));
  out.Add("flag_names", Fact::String(DescribeConnectionFlags(seen.flags)));
  const bool failed = seen.handleAsked && !seen.handleOpened;
  const std::string handle =
      failed ? "not opened: " + ErrorPhrase(seen.handleError)
      : seen.proxyAccessType != 3
          ? std::string("opened; proxy settings: direct")
          : "opened; proxy settings: " + seen.proxyServer +
                (seen.proxyBypass.empty() ? "" : ", not for " + Quote(seen.proxyBypass, 200));
  out.Add("internet_handle", seen.handleAsked ? Fact::Bool(seen.handleOpened) : Fact())
      .RowIf(seen.handleAsked, "Internet handle", handle);
  out.Add("error", failed ? Fact::Integer(seen.handleError) : Fact());
  out.Add("proxy", seen.proxyAccessType == 3 ? Fact::String(seen.proxyServer) : Fact());
  out.Add("proxy_bypass", Fact::OptionalString(seen.proxyBypass));
}

void AddBody(Fact& steps, const DryRun& run) {
  const bool opened = run.fetchAsked && run.fetch.opened;
  const std::string bytes = std::to_string(run.readBytes.size()) + " bytes";
  const std::string read =
      run.read == BodyRead::kDownload    ? "the download (" + bytes + ")"
      : run.read == BodyRead::kStaleFile ? "the stale info file (" + bytes + "), not the download"
      : run.infoFile.writable
          ? "nothing: the info file is neither stored nor there"
          : "nothing: the download could not be stored, so Falwick reads no body (and no older "
            "info file lies there)";
  steps.Add("read", opened ? Fact::String(ReadName(run.read)) : Fact()).RowIf(opened, "Read", read);
  Fact& check = steps.Add("check", run.check ? Fact::Object() : Fact());
  if (!run.check) return;
  check.Line("", "What falwick-info check says of it:");
  AddInfoCheck(check, &*run.check,
               run.read == BodyRead::kStaleFile ? run.paths->info : std::string("the download"),
               run.readBytes.size(), run.request.arguments[kInstalledVersionArgument], true);
}

void AddAnswer(Fact& steps, const DryRun& run) {
  const bool found = run.paths && !run.paths->directory.empty();
  Fact& setting = steps.Add("setting", found ? Fact::Object() : Fact());
  if (found) {
    const SettingLocation& where = run.paths->setting;
    setting.Add("file", Fact::String(where.file));
    setting.Add("section", Fact::String(where.section));
    setting.Add("key", Fact::String(where.key));
    setting.Add("read", Fact::Bool(run.notice.has_value()));
    setting.Add("stored", run.notice ? Fact::String(run.settingText) : Fact());
    setting.Add("disable_checking", run.notice ? Fact::Integer(run.notice->disableChecking)
                                               : Fact());
    const std::string place = "[" + where.section + "] " + where.key;
    setting.Row("Disable checking",
                run.notice ? std::to_string(run.notice->disableChecking) + ": the box starts " +
                                 (run.notice->disableChecking != 0 ? "ticked" : "clear") +
                                 " (" + place + " reads " + Quote(run.settingText) + ")"
                           : "not read: Falwick reads " + place + " only for the notice");
  }
  Fact& notice = steps.Add("notice", run.notice ? Fact::Object() : Fact());
  if (run.notice) {
    notice.Add("product", Fact::String(run.notice->productName));
    notice.Add("display_version", Fact::String(run.notice->displayVersion));
    notice.Add("text", Fact::String(run.notice->noticeText));
    notice.Row("Dialog", "would appear for " + Quote(run.notice->productName, 200) +
                             ", version " + run.notice->displayVersion);
  }
  Fact& browser = steps.Add("browser", Fact::Object());
  browser.Add("url", run.opened ? Fact::String(*run.opened) : Fact())
      .RowIf(run.opened.has_value(), "Browser",
             "would be started with " + Quote(run.opened.value_or(""), 300));
  browser.Add("htm_program", Fact::OptionalString(run.htmProgram))
      .RowIf(found, ".htm program",
             run.htmProgram.empty()
                 ? "none (FindExecutableA gave " + std::to_string(run.htmResult) + ")"
                 : run.htmProgram);
  browser.Add("find_executable_result", Fact::Integer(run.htmResult));
}

}  // namespace

Fact DryRunReport(const DryRun& run, const DryRunVerdict& verdict, const Findings& findings,
                  Fact machine) {
  const FetchedResponse* final = run.fetchAsked && run.fetch.opened ? run.fetch.Final() : nullptr;
  Fact report = Fact::Object();
  report.Add("schema", Fact::Integer(1));
  report.Add("outcome", Fact::String(verdict.outcome));
  report.Add("reason", Fact::String(verdict.reason));
  report.Add("sentence", Fact::String(verdict.sentence));
  report.Add("status", final != nullptr ? Fact::Integer(final->status) : Fact());
  const long error = run.fetchAsked && !run.fetch.opened ? run.fetch.error
                     : verdict.reason == "no-internet-handle" ? run.connection.handleError
                                                              : 0;
  report.Add("error", error != 0 ? Fact::Integer(error) : Fact());
  report.Add("from_cache", Fact::Bool(run.fetch.fromCache.value_or(false)));
  Fact& steps = report.Add("steps", Fact::Object());
  AddCommandLine(steps, run);
  AddPaths(steps, run);
  AddConnection(steps, run);
  if (run.fetchAsked) {
    AddFetch(steps, run.fetch);
  } else {
    steps.Add("fetch", Fact());
  }
  AddBody(steps, run);
  AddAnswer(steps, run);
  steps.Add("machine", std::move(machine));
  AddFindings(report, findings);
  report.Line("", "Outcome: " + verdict.sentence);
  return report;
}
