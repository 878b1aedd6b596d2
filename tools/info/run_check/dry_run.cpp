#include "tools/info/run_check/dry_run.h"

#include <cstdio>

#include "tools/info/common/show_text.h"
#include "tools/info/common/wininet_errors.h"
#include "platform/internet_api.h"
#include "update/download.h"
#include "update/notice_text.h"

namespace {

constexpr uint32_t kConnectionProxy = 0x04;  // INTERNET_CONNECTION_PROXY
constexpr long kAccessDenied = 5;
constexpr long kPathNotFound = 3;
constexpr long kSharingViolation = 32;

bool OnLineFlags(uint32_t flags) {
  return (flags & (win::kConnectionModem | win::kConnectionLan)) != 0;
}

std::string Hex(uint32_t value) {
  char text[16];
  (void)std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ErrorPhrase(long error) {
  const WinInetErrorInfo info = DescribeWinInetError(error);
  return std::to_string(error) + " " + info.name + ": " + info.text;
}

const std::string& Argument(const DryRun& run, RequestArgument which) {
  static const std::string kNone;
  return which < run.request.arguments.size() ? run.request.arguments[which] : kNone;
}

std::string NotNewerSentence(const DryRun& run) {
  std::string why;
  if (run.read == BodyRead::kNothing) {
    why = "no info file is read, so the published version is the installed one";
  } else {
    why = "nothing newer is published: " + (run.check ? run.check->reason : std::string());
  }
  if (run.info.probed && !run.info.writable) {
    why = "the info file " + run.info.path + " cannot be written (" +
          WriteProblemCause(run.info) + "), so the download is not stored; " +
          (run.read == BodyRead::kStaleFile ? "the stale file there is read instead and " +
                                                  why
                                            : why);
  }
  return why;
}

std::string BrowserSentence(const DryRun& run, const std::string& intro) {
  if (run.htmProgram.empty()) {
    return intro + ", but no program is associated with .htm files, so nothing opens";
  }
  return intro + " opens the download page " + Quoted(run.browserUrl) + " with " +
         run.htmProgram;
}

}  // namespace

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

std::string DescribeConnectionFlags(uint32_t flags) {
  static const struct {
    uint32_t bit;
    const char* name;
  } kNames[] = {{0x01, "modem"},         {0x02, "LAN"},     {0x04, "proxy"},
                {0x08, "modem busy"},    {0x10, "RAS installed"},
                {0x20, "off line"},      {0x40, "configured"}};
  std::string names;
  for (const auto& named : kNames) {
    if ((flags & named.bit) == 0) continue;
    names += (names.empty() ? "" : ", ") + std::string(named.name);
  }
  return names.empty() ? "none" : names;
}

std::string OffLineCause(const ConnectionSeen& seen) {
  if (seen.stateDeadlinePassed) {
    return "the connectivity test (InternetGetConnectedState) did not answer within the " +
           std::to_string(DownloadUpdateInfo::kFetchDeadlineMs / 1000) +
           " s network deadline, which counts as off line";
  }
  std::string why = "Windows reports no modem and no LAN connection (flags " +
                    Hex(seen.flags) + ": " + DescribeConnectionFlags(seen.flags) + ")";
  if ((seen.flags & kConnectionProxy) != 0 && !OnLineFlags(seen.flags)) {
    why += "; a proxy connection alone does not count as on line";
  }
  return why;
}

std::string CommandLineProblem(const UpdateRequest& request) {
  UpdateRequest copy = request;
  if (DecideRunMode(copy) != RunMode::kNone) return {};
  const size_t count = request.arguments.size();
  if (request.productName.empty()) return "no bracketed token at all";
  if (count != kArgumentCount) {
    return std::to_string(count) + " argument" + (count == 1 ? "" : "s") +
           " after the product instead of " + std::to_string(kArgumentCount);
  }
  return "the mode " + Quoted(request.arguments[kModeArgument]) + " is neither PU nor PX";
}

DryRunVerdict JudgeDryRun(const DryRun& run) {
  DryRunVerdict verdict;
  verdict.outcome = "nothing";
  std::string why;
  switch (run.end) {
    case RunEnd::kEmptyCommandLine:
      verdict.reason = "empty-command-line";
      why = "the command line is empty, so Falwick ends at once";
      break;
    case RunEnd::kBadCommandLine:
      verdict.reason = "bad-command-line";
      why = "the command line has " + CommandLineProblem(run.request) +
            ", so Falwick ends before it fetches or touches anything";
      break;
    case RunEnd::kPathTooLong:
      verdict.reason = "path-too-long";
      why = "the program's path " + run.modulePath + " (" +
            std::to_string(run.modulePath.size()) +
            " characters) does not fit in 260 characters, so Falwick ends before it "
            "touches anything";
      break;
    case RunEnd::kSameFile:
      verdict.reason = "same-file";
      why = "the info file and the settings file are the same file (" + run.infoPath +
            "), so Falwick ends to keep the settings";
      break;
    case RunEnd::kOffline:
      if (!run.connection.stateDeadlinePassed && run.connection.stateResult &&
          OnLineFlags(run.connection.flags)) {
        verdict.reason = "no-internet-handle";
        why = "WinINet's Internet handle could not be opened (" +
              ErrorPhrase(run.connection.handleError) + "), so Falwick fetches nothing";
      } else {
        verdict.reason = "offline";
        why = OffLineCause(run.connection) + ", so Falwick fetches nothing";
      }
      break;
    case RunEnd::kUrlNotOpened:
      verdict.reason = "url-not-opened";
      why = "the info URL " + Quoted(Argument(run, kInfoUrlArgument)) + " could not be opened" +
            (run.fetch.error != 0 ? " (" + ErrorPhrase(run.fetch.error) + ")" : std::string()) +
            ", so Falwick ends silently";
      break;
    case RunEnd::kNotNewer:
      verdict.reason = run.info.probed && !run.info.writable ? "info-file-not-writable"
                                                             : "not-newer";
      why = NotNewerSentence(run) +
            (run.browserAsked ? "" : "; Falwick ends without showing anything");
      break;
    case RunEnd::kNewer:
      verdict.reason = "newer";
      verdict.outcome = "notice";
      why = "Falwick shows the notice dialog, as " +
            (run.check ? run.check->reason : std::string("the file read announces more")) +
            "; it says " +
            Quote(ChooseNoticeText(run.notice.noticeText, NoticeTemplate(),
                                   run.notice.productName, run.notice.displayVersion),
                  70) +
            ", and \"Yes\" " +
            (run.htmProgram.empty() ? "opens nothing: no program is associated with .htm files"
                                    : "opens " + Quoted(Argument(run, kDownloadUrlArgument)) +
                                          " with " + run.htmProgram);
      break;
  }
  if (run.browserAsked) {
    verdict.outcome = run.htmProgram.empty() ? "nothing" : "browser";
    why = BrowserSentence(run, why + "; as an explicit check (PX) it then");
  }
  verdict.sentence = verdict.outcome + ": " + why + ".";
  verdict.exitStatus = verdict.outcome == "nothing" ? 1 : 0;
  return verdict;
}

std::vector<FetchWarning> DryRunWarnings(const DryRun& run) {
  std::vector<FetchWarning> warnings;
  if (run.fetchAsked) warnings = FetchWarnings(run.fetch);
  if (run.directory.probed && !run.directory.writable) {
    warnings.push_back({"program-directory-not-writable",
                        "the program directory " + run.directory.path + " cannot be written (" +
                            WriteProblemCause(run.directory) +
                            "): Falwick cannot store the download there, so it never announces "
                            "anything, and the box's state is not kept"});
  } else if (run.info.probed && !run.info.writable) {
    warnings.push_back({"info-file-not-writable",
                        "the info file " + run.info.path + " cannot be written (" +
                            WriteProblemCause(run.info) +
                            "): the download is not stored, and what lies there is read "
                            "in its place"});
  }
  if (run.settings.probed && !run.settings.writable && run.directory.writable) {
    warnings.push_back({"settings-file-not-writable",
                        "the settings file " + run.settings.path + " cannot be written (" +
                            WriteProblemCause(run.settings) +
                            "): the box's state is not kept after the notice"});
  }
  if (run.connection.stateAsked && !run.connection.stateDeadlinePassed &&
      !OnLineFlags(run.connection.flags) &&
      (run.connection.flags & kConnectionProxy) != 0) {
    warnings.push_back({"proxy-connection-only",
                        "Windows reports a connection through a proxy only (flags " +
                            Hex(run.connection.flags) +
                            "): Falwick counts only a modem or a LAN as on line, so it never "
                            "checks on this machine"});
  }
  const bool ansiPath = run.modulePath.find('?') == std::string::npos;
  if (!run.falwickPresent && ansiPath && run.mode != RunMode::kNone) {
    warnings.push_back({"no-falwick-exe",
                        "there is no Falwick.EXE at " + run.modulePath +
                            ": place falwick-info.exe beside it, or name its directory with "
                            "--dir"});
  }
  if (run.htmProgram.empty() && run.mode != RunMode::kNone) {
    warnings.push_back({"no-htm-program",
                        "no program is associated with .htm files (FindExecutableA gave " +
                            std::to_string(run.htmResult) +
                            "): Falwick cannot open the download page"});
  }
  return warnings;
}
