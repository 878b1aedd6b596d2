#include "tools/info/run/dry_run.h"

#include "tools/info/fetch/fetch_report.h"
#include "tools/info/report/phrases.h"
#include "ui/notice_template.h"
#include "update/notice_text.h"

namespace {

constexpr long kAccessDenied = 5;
constexpr long kPathNotFound = 3;
constexpr long kSharingViolation = 32;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

const std::string& Argument(const DryRun& run, RequestArgument which) {
  static const std::string kNone;
  return which < run.request.arguments.size() ? run.request.arguments[which] : kNone;
}

// The reason and why the run ended as it did, in a clause.
std::string EndClause(const DryRun& run, std::string& reason) {
  switch (run.end) {
    case RunEnd::kEmptyCommandLine:
      reason = "empty-command-line";
      return "the command line is empty, so Falwick ends at once";
    case RunEnd::kBadCommandLine:
      reason = "bad-command-line";
      return "the command line has " + CommandLineProblem(run) +
             ", so Falwick ends before it fetches or touches anything";
    case RunEnd::kPathTooLong:
      reason = "path-too-long";
      return "Falwick cannot have its own path " + run.modulePath + " (" +
             std::to_string(run.modulePath.size()) +
             " characters) whole, so it ends before it touches anything";
    case RunEnd::kSameFile:
      reason = "same-file";
      return "the info file and the settings file are the same file (" +
             (run.paths ? run.paths->info : std::string()) +
             "), so Falwick ends to keep the settings";
    case RunEnd::kOffline:
      if (run.connected == ConnectResult::kNoInternetHandle) {
        reason = "no-internet-handle";
        return "WinINet's Internet handle could not be opened (" +
               ErrorPhrase(run.connection.handleError) + "), so Falwick fetches nothing";
      }
      reason = "offline";
      return OffLineCause(run.connected.value_or(ConnectResult::kNotConnected),
                          run.connection.flags) +
             ", so Falwick fetches nothing";
    case RunEnd::kUrlNotOpened:
      reason = "url-not-opened";
      return "the info URL " + Quoted(Argument(run, kInfoUrlArgument)) + " could not be opened" +
             (run.fetch.error != 0 ? " (" + ErrorPhrase(run.fetch.error) + ")" : std::string()) +
             ", so Falwick ends silently";
    case RunEnd::kNotNewer: {
      const bool unwritable = run.infoFile.probed && !run.infoFile.writable;
      reason = unwritable ? "info-file-not-writable" : "not-newer";
      std::string why =
          run.read == BodyRead::kNothing
              ? "no info file is read, so the published version is the installed one"
              : "nothing newer is published: " + (run.check ? run.check->reason : std::string());
      if (unwritable) {
        why = "the info file " + run.infoFile.path + " cannot be written (" +
              WriteProblemCause(run.infoFile) + "), so the download is not stored; " +
              (run.read == BodyRead::kStaleFile ? "the stale file there is read instead and " + why
                                                : why);
      }
      return why + (run.opened ? "" : "; Falwick ends without showing anything");
    }
    case RunEnd::kNewer:
      break;
  }
  reason = "newer";
  const NoticeDialogData notice = run.notice.value_or(NoticeDialogData{});
  return "Falwick shows the notice dialog, as " +
         (run.check ? run.check->reason : std::string("the file read announces more")) +
         "; it says " +
         Quote(ChooseNoticeText(notice.noticeText, FALWICK_NOTICE_TEMPLATE, notice.productName,
                                notice.displayVersion),
               70) +
         ", and \"Yes\" " +
         (run.htmProgram.empty() ? "opens nothing: no program is associated with .htm files"
                                 : "opens " + Quoted(Argument(run, kDownloadUrlArgument)) +
                                       " with " + run.htmProgram);
}

}  // namespace

std::string ErrorPhrase(long error) {
  const WinInetErrorInfo info = DescribeWinInetError(error);
  return std::to_string(error) + " " + info.name + ": " + info.text;
}

std::string CommandLineProblem(const DryRun& run) {
  if (run.problem == ModeProblem::kUnknownMode) {
    return "the mode " + Quoted(Argument(run, kModeArgument)) + " is neither PU nor PX";
  }
  if (run.problem == ModeProblem::kNoArguments && run.request.productName.empty()) {
    return "no bracketed token at all";
  }
  const size_t count = run.request.arguments.size();
  return std::to_string(count) + " argument" + (count == 1 ? "" : "s") +
         " after the product instead of " + std::to_string(kArgumentCount);
}

std::string WriteProblemCause(const WriteProbe& probe) {
  if (probe.path.find('?') != std::string::npos) {
    return "the path holds a name outside the ANSI code page, which Falwick sees as \"?\" "
           "and cannot open";
  }
  if (probe.readOnly) return "the file is read-only";
  if (probe.error == kAccessDenied) {
    if (probe.underProgramFiles) {
      return "a standard user may not create or change files under Program Files, and "
             "Windows redirects no writes of Falwick's";
    }
    return "access denied: this user may not write there";
  }
  if (probe.error == kSharingViolation) return "another program holds the file open";
  if (probe.error == kPathNotFound) return "the directory does not exist";
  return "error " + std::to_string(probe.error) +
         (probe.errorText.empty() ? std::string() : ": " + probe.errorText);
}

DryRunVerdict JudgeDryRun(const DryRun& run) {
  DryRunVerdict verdict;
  std::string why = EndClause(run, verdict.reason);
  verdict.outcome = run.end == RunEnd::kNewer ? "notice" : "nothing";
  if (run.opened && run.end != RunEnd::kNewer) {
    verdict.outcome = run.htmProgram.empty() ? "nothing" : "browser";
    why += "; as an explicit check (PX) it then";
    why += run.htmProgram.empty()
               ? ", but no program is associated with .htm files, so nothing opens"
               : " opens the download page " + Quoted(*run.opened) + " with " + run.htmProgram;
  }
  verdict.sentence = verdict.outcome + ": " + why + ".";
  return verdict;
}

Findings DryRunFindings(const DryRun& run) {
  Findings found;
  std::string reason;
  const std::string why = EndClause(run, reason);
  if (run.end == RunEnd::kEmptyCommandLine || run.end == RunEnd::kBadCommandLine ||
      run.end == RunEnd::kPathTooLong || run.end == RunEnd::kSameFile ||
      reason == "no-internet-handle") {
    found.Add(reason, Severity::kError, why);
  }
  if (run.fetchAsked) found.Append(FetchFindings(run.fetch));
  if (run.directory.probed && !run.directory.writable) {
    found.Add("program-directory-not-writable", Severity::kError,
              "the program directory " + run.directory.path + " cannot be written (" +
                  WriteProblemCause(run.directory) +
                  "): Falwick cannot store the download there, so it never announces "
                  "anything, and the box's state is not kept",
              "install Falwick per user (see Installing)");
  } else if (run.infoFile.probed && !run.infoFile.writable) {
    found.Add("info-file-not-writable", Severity::kError,
              "the info file " + run.infoFile.path + " cannot be written (" +
                  WriteProblemCause(run.infoFile) +
                  "): the download is not stored, and what lies there is read in its place");
  }
  if (run.settingsFile.probed && !run.settingsFile.writable && run.directory.writable) {
    found.Add("settings-file-not-writable", Severity::kWarning,
              "the settings file " + run.settingsFile.path + " cannot be written (" +
                  WriteProblemCause(run.settingsFile) +
                  "): the box's state is not kept after the notice");
  }
  if (run.connected == ConnectResult::kNoModemOrLan &&
      (run.connection.flags & kConnectionProxy) != 0) {
    found.Add("proxy-connection-only", Severity::kError,
              "Windows reports a connection through a proxy only (flags " +
                  Hex(run.connection.flags) +
                  "): Falwick counts only a modem or a LAN as on line, so it never checks on "
                  "this machine");
  }
  const bool ansiPath = run.modulePath.find('?') == std::string::npos;
  if (!run.falwickPresent && ansiPath && run.mode != RunMode::kNone) {
    found.Add("no-falwick-exe", Severity::kWarning, "there is no Falwick.EXE at " + run.modulePath,
              "place falwick-info.exe beside it, or name its directory with --dir");
  }
  if (run.htmProgram.empty() && run.mode != RunMode::kNone) {
    found.Add("no-htm-program", Severity::kError,
              "no program is associated with .htm files (FindExecutableA gave " +
                  std::to_string(run.htmResult) + "): Falwick cannot open the download page");
  }
  if (run.mode != RunMode::kNone) {
    found.Append(InstalledVersionFindings(Argument(run, kInstalledVersionArgument)));
  }
  if (run.check) found.Append(run.check->findings);
  return found;
}
