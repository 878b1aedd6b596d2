// A dry run of Falwick's own run on this machine, for falwick-info run: what each step
// found, and what Falwick would do with the same command line. The Windows part fills it
// in (run_command_win.cpp) by running the program's own run flow on dry parts; deciding
// the reason and the outcome, and reporting it all, is portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "update/host_setting.h"
#include "app/update_check_app.h"
#include "tools/info/url_check/fetch_report.h"
#include "tools/info/file_check/file_check.h"
#include "tools/info/url_check/url_fetch.h"
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

// The usual cause of a failed probe, in a phrase ("the file is read-only").
std::string WriteProblemCause(const WriteProbe& probe);

// What the connectivity test and the Internet handle showed.
struct ConnectionSeen {
  bool stateAsked = false;
  bool stateResult = false;  // InternetGetConnectedState's result
  uint32_t flags = 0;
  // The test did not answer within the network deadline: it was abandoned and counts as
  // off line (its result and flags then say nothing about the machine).
  bool stateDeadlinePassed = false;
  bool handleAsked = false;
  bool handleOpened = false;
  long handleError = 0;
  uint32_t proxyAccessType = 0;  // of INTERNET_OPTION_PROXY: 1 direct, 3 a named proxy
  std::string proxyServer;
  std::string proxyBypass;
};

// "LAN, RAS installed" for InternetGetConnectedState's flags; "none" for 0.
std::string DescribeConnectionFlags(uint32_t flags);

// Why the connectivity test counts as off line, in a clause: it did not answer within
// the deadline, or the flags Windows gave name neither a modem nor a LAN.
std::string OffLineCause(const ConnectionSeen& seen);

// Why DecideRunMode refuses `request` ("the mode \"PQ\" is neither PU nor PX"); empty
// when it accepts it.
std::string CommandLineProblem(const UpdateRequest& request);

enum class BodyRead {
  kNothing,    // no file to read: Falwick reads the installed version back
  kDownload,   // the fresh download
  kStaleFile,  // a file that was there before and could not be replaced
};

struct DryRun {
  std::string commandLine;
  std::string modulePath;  // the path Falwick.EXE would have (DIR\Falwick.EXE)
  bool falwickPresent = true;  // a Falwick.EXE lies there
  RunEnd end = RunEnd::kEmptyCommandLine;  // as the run flow returned it

  // The steps, filled in as far as the run got.
  UpdateRequest request;  // the command line as parsed (the mode as given)
  RunMode mode = RunMode::kNone;
  std::string programDirectory;  // empty: the module path could not be had whole
  std::string infoPath;
  std::string settingsPath;
  WriteProbe directory;  // a new file in the program directory
  WriteProbe info;
  WriteProbe settings;
  bool staleInfo = false;       // an info file lay there before the run
  bool staleDeletable = false;  // and Falwick could delete it
  ConnectionSeen connection;
  bool fetchAsked = false;
  UrlFetch fetch;  // when fetchAsked
  BodyRead read = BodyRead::kNothing;
  std::string readBytes;           // what Falwick would read: the download or a stale file
  std::optional<InfoCheck> check;  // of readBytes, once the URL was opened
  SettingLocation setting;
  std::string settingText;  // the stored value as Falwick reads it (9 characters at most)
  int32_t disableChecking = 0;  // the box as the notice would start
  bool noticeShown = false;
  NoticeDialogData notice;
  bool browserAsked = false;
  std::string browserUrl;
  std::string htmProgram;  // the program for ".htm" files; empty when there is none
  long htmResult = 0;      // FindExecutableA's result (32 or less: an error)
};

struct DryRunVerdict {
  std::string outcome;   // "notice", "browser" or "nothing"
  std::string reason;    // "empty-command-line", ..., "not-newer", "newer"
  std::string sentence;  // what Falwick would do and why
  int exitStatus = 1;    // 0 when something appears, 1 when nothing does
};

// The outcome and its reason: the run flow's end, refined by what the steps observed.
DryRunVerdict JudgeDryRun(const DryRun& run);

// The traps the run revealed, in a stable order: how the file is served (FetchWarnings)
// and the machine's side (paths, connection, browser).
std::vector<FetchWarning> DryRunWarnings(const DryRun& run);
