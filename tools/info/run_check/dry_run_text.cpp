// falwick-info run's report as text: a row for each step, then the warnings and the outcome.
#include "tools/info/run_check/dry_run_report.h"

#include <cstdio>

#include "tools/info/common/show_text.h"
#include "tools/info/common/wininet_errors.h"
#include "tools/info/file_check/report_text.h"

namespace {

constexpr const char* kTokenNames[kArgumentCount] = {
    "Mode", "Info URL", "Info file", "Installed", "Settings file", "Section", "Key",
    "Download URL"};


std::string DescribeProbe(const WriteProbe& probe, const char* existing, const char* missing) {
  if (!probe.writable) return "cannot be written: " + WriteProblemCause(probe);
  return probe.exists ? existing : missing;
}

std::string Mode(const DryRun& run) {
  switch (run.mode) {
    case RunMode::kCheck: return "a check that announces a newer version";
    case RunMode::kExplicitCheck:
      return "an explicit check, which also opens the download page when nothing is newer";
    case RunMode::kNone: break;
  }
  return "refused: " + CommandLineProblem(run.request);
}

void AddCommandLine(std::string& out, const DryRun& run) {
  AppendRow(out, "Command line", run.commandLine.empty() ? "empty" : run.commandLine);
  if (run.end == RunEnd::kEmptyCommandLine) return;
  AppendRow(out, "Product", Quote(run.request.productName, 200));
  const auto& args = run.request.arguments;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string name = i < kArgumentCount ? kTokenNames[i] : "Extra token";
    AppendRow(out, name, Quote(args[i], 200) + (i == kModeArgument ? ": " + Mode(run) : ""));
  }
  if (args.empty()) AppendRow(out, "Mode", Mode(run));
}

void AddPaths(std::string& out, const DryRun& run) {
  if (run.mode == RunMode::kNone) return;
  AppendRow(out, "Module path", run.modulePath);
  if (run.programDirectory.empty()) {
    AppendRow(out, "Program directory", "none: the module path does not fit in 260 characters");
    return;
  }
  AppendRow(out, "Program directory",
            run.programDirectory + ": " +
                DescribeProbe(run.directory, "a new file can be created in it",
                              "a new file can be created in it"));
  AppendRow(out, "Info path",
            run.info.path + ": " +
                DescribeProbe(run.info, "exists and can be written",
                              "no file there yet, one can be created"));
  if (run.staleInfo) {
    AppendRow(out, "Stale info file",
              run.staleDeletable ? "lies there; Falwick deletes it before the download"
                                 : "lies there and cannot be deleted: Falwick reads it when "
                                   "the download cannot be stored in its place");
  }
  AppendRow(out, "Settings path",
            run.settings.path + ": " +
                DescribeProbe(run.settings, "exists and can be written",
                              "no file there yet, one can be created"));
}

void AddConnection(std::string& out, const DryRun& run) {
  const ConnectionSeen& seen = run.connection;
  if (!seen.stateAsked) return;
  if (seen.stateDeadlinePassed) {
    AppendRow(out, "Connected", "no: " + OffLineCause(seen));
    return;
  }
  char flags[16];
  (void)std::snprintf(flags, sizeof flags, "0x%02X", static_cast<unsigned>(seen.flags));
  AppendRow(out, "Connected",
            std::string(seen.stateResult ? "yes" : "no") + ": flags " + flags + " (" +
                DescribeConnectionFlags(seen.flags) +
                "); Falwick counts only a modem or a LAN as on line");
  if (!seen.handleAsked) return;
  if (!seen.handleOpened) {
    const WinInetErrorInfo error = DescribeWinInetError(seen.handleError);
    AppendRow(out, "Internet handle", "not opened: " + std::to_string(seen.handleError) + " " +
                                          error.name + ": " + error.text);
    return;
  }
  std::string proxy = "opened; proxy settings: ";
  if (seen.proxyAccessType == 3) {
    proxy += seen.proxyServer +
             (seen.proxyBypass.empty() ? "" : ", not for " + Quote(seen.proxyBypass, 200));
  } else {
    proxy += "direct";
  }
  AppendRow(out, "Internet handle", proxy);
}

void AddBody(std::string& out, const DryRun& run) {
  if (!run.fetchAsked || !run.fetch.opened) return;
  switch (run.read) {
    case BodyRead::kDownload:
      AppendRow(out, "Read", "the download (" + std::to_string(run.readBytes.size()) + " bytes)");
      break;
    case BodyRead::kStaleFile:
      AppendRow(out, "Read", "the stale info file (" + std::to_string(run.readBytes.size()) +
                                 " bytes), not the download");
      break;
    case BodyRead::kNothing:
      AppendRow(out, "Read", run.info.writable
                                 ? "nothing: the info file is neither stored nor there"
                                 : "nothing: the download could not be stored, so Falwick "
                                   "reads no body (and no older info file lies there)");
      break;
  }
  if (!run.check) return;
  out += "What falwick-info check says of it:\n";
  const std::string installed = run.request.arguments[kInstalledVersionArgument];
  out += FormatCheckReport(*run.check, ReportSubject{run.read == BodyRead::kStaleFile
                                                         ? run.infoPath
                                                         : std::string("the download"),
                                                     run.readBytes.size(), installed, true});
}

void AddAnswer(std::string& out, const DryRun& run) {
  if (run.mode == RunMode::kNone || run.programDirectory.empty()) return;
  AppendRow(out, "Disable checking",
            std::to_string(run.disableChecking) + ": the box would start " +
                (run.disableChecking != 0 ? "ticked" : "clear") + " ([" + run.setting.section +
                "] " + run.setting.key + " reads " + Quote(run.settingText) + ")");
  if (run.noticeShown) {
    AppendRow(out, "Dialog", "would appear for " + Quote(run.notice.productName, 200) +
                                 ", version " + run.notice.displayVersion);
  }
  if (run.browserAsked) {
    AppendRow(out, "Browser", "would be started with " + Quote(run.browserUrl, 300));
  }
  AppendRow(out, ".htm program",
            run.htmProgram.empty()
                ? "none (FindExecutableA gave " + std::to_string(run.htmResult) + ")"
                : run.htmProgram);
}

}  // namespace

std::string FormatDryRun(const DryRun& run, const DryRunVerdict& verdict,
                         const std::vector<FetchWarning>& runWarnings,
                         const MachineCheck* machine) {
  std::string out;
  AddCommandLine(out, run);
  AddPaths(out, run);
  AddConnection(out, run);
  if (run.fetchAsked) out += FormatFetchReport(run.fetch);
  AddBody(out, run);
  AddAnswer(out, run);
  std::vector<FetchWarning> warnings = runWarnings;
  if (machine != nullptr) {
    out += FormatMachineCheck(*machine);
    for (FetchWarning& warning : AsRunWarnings(machine->warnings)) {
      warnings.push_back(std::move(warning));
    }
  }
  if (warnings.empty()) {
    out += "No warnings about the run.\n";
  } else {
    out += "Run warnings (" + std::to_string(warnings.size()) + "):\n";
    for (const FetchWarning& warning : warnings) out += "  " + warning.text + "\n";
  }
  return out + "Outcome: " + verdict.sentence + "\n";
}
