// A dry run of Falwick's own run on this machine, for falwick-info run: the program's own
// account of what it decided at each step (told by the run flow to the DryRun), what the
// watched parts saw on the way (WinINet's answers, the files read and written, the
// setting's text), and, decided from those, the outcome, its reason and the findings.
// The Windows part fills it in (run_command_win.cpp); the rest is portable.
#pragma once

#include <optional>
#include <string>

#include "app/run_observer.h"
#include "app/update_check_app.h"
#include "tools/info/fetch/fetch_report.h"
#include "tools/info/file/info_check.h"
#include "tools/info/report/report.h"
#include "ui/notice.h"

// Whether Falwick could write a file (or create one in a directory), found out without
// changing what lies there.
struct WriteProbe {
  std::string path;
  bool probed = false;
  bool exists = false;
  bool writable = false;
  bool readOnly = false;           // the file's read-only attribute
  bool underProgramFiles = false;  // the path lies in a Program Files directory
  long error = 0;                  // the system error of the failed attempt
  std::string errorText;
};

// The WinINet error `error` with its name and usual meaning ("12029 ERROR_INTERNET_...: ...").
std::string ErrorPhrase(long error);

// The usual cause of a failed probe, in a phrase ("the file is read-only").
std::string WriteProblemCause(const WriteProbe& probe);

enum class BodyRead {
  kNothing,    // no file to read: Falwick reads the installed version back
  kDownload,   // the fresh download
  kStaleFile,  // a file that was there before and could not be replaced
};

struct DryRun final : RunObserver {
  std::string commandLine;
  std::string modulePath;  // the path Falwick.EXE would have (DIR\Falwick.EXE)
  bool falwickPresent = true;  // a Falwick.EXE lies there
  RunEnd end = RunEnd::kEmptyCommandLine;  // as the run flow returned it

  // The run's own account, as far as the run got.
  bool parsed = false;
  UpdateRequest request;  // as parsed, the mode as given
  RunMode mode = RunMode::kNone;
  ModeProblem problem = ModeProblem::kNone;
  std::optional<RunPaths> paths;  // empty directory: the module path could not be had
  std::optional<ConnectResult> connected;
  bool fetchOpened = false;
  std::optional<VersionDecision> decision;  // with what it compared:
  ProgramVersion installed;
  UpdateInfo info;
  std::optional<NoticeDialogData> notice;  // the box as read from the setting
  std::optional<std::string> opened;       // the page opened in the browser

  // What the watched parts saw.
  WriteProbe directory;  // a new file in the program directory
  WriteProbe infoFile;
  WriteProbe settingsFile;
  bool staleInfo = false;       // an info file lay there before the run
  bool staleDeletable = false;  // and Falwick could delete it
  ConnectionSeen connection;
  bool fetchAsked = false;
  UrlFetch fetch;  // when fetchAsked
  BodyRead read = BodyRead::kNothing;
  std::string readBytes;           // what Falwick would read: the download or a stale file
  std::optional<InfoCheck> check;  // falwick-info check's verdict on readBytes
  std::string settingText;  // the stored value as the run read it (9 characters at most)
  std::string htmProgram;   // the program for ".htm" files; empty when there is none
  long htmResult = 0;       // FindExecutableA's result (32 or less: an error)

  // The run flow's account (app/run_observer.h), kept in the members above.
  void Parsed(const UpdateRequest& given) override { parsed = true; request = given; }
  void Decided(RunMode decided, ModeProblem why) override { mode = decided; problem = why; }
  void Found(const RunPaths& found) override { paths = found; }
  void Connected(ConnectResult result) override { connected = result; }
  void Fetched(bool urlOpened) override { fetchOpened = urlOpened; }
  void Compared(const ProgramVersion& own, const UpdateInfo& published,
                const VersionDecision& decided) override {
    installed = own; info = published; decision = decided;
  }
  void Announcing(const NoticeDialogData& dialog) override { notice = dialog; }
  void Opening(const std::string& url) override { opened = url; }
};

// Why the run flow found no mode in the command line ("the mode \"PQ\" is neither PU nor
// PX"), from its account.
std::string CommandLineProblem(const DryRun& run);

struct DryRunVerdict {
  std::string outcome;   // "notice", "browser" or "nothing"
  std::string reason;    // "empty-command-line", ..., "not-newer", "newer"
  std::string sentence;  // what Falwick would do and why
};

// The outcome and its reason: how the run flow ended, and why, as its account says.
DryRunVerdict JudgeDryRun(const DryRun& run);

// The findings of the run, in a stable order: its end where that is a fault, the way the
// file is served (FetchFindings), the machine's side of the run (paths, connection,
// browser), the installed version and what falwick-info check finds in what was read.
Findings DryRunFindings(const DryRun& run);

// The report (docs/diagnosing.md): the verdict, a step for each of the run's ("machine":
// the machine check's facts, null without a mode), the findings and the outcome.
Fact DryRunReport(const DryRun& run, const DryRunVerdict& verdict, const Findings& findings,
                  Fact machine);

#ifdef _WIN32
// falwick-info run (run_command_win.cpp): the report of the dry run for the host's
// `commandLine` with Falwick.EXE in `directory` (empty: beside the tool), and its findings
// in `findings`; nothing when no temporary file for the download could be created.
std::optional<Fact> RunCommand(const std::string& commandLine, const std::string& directory,
                               Findings& findings);
#endif
