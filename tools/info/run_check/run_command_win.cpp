// The dry run: the same CUpdateCheckApp, path steps, DownloadUpdateInfo, ProfileHostSetting
// and DefaultBrowser as Falwick.EXE, over the real WinINet (watched), with dry parts for
// the files and the profile (dry_parts_win.h), a notice that shows nothing and a shell
// that looks up but starts nothing (recording_parts.h), so that it finds what Falwick
// would find and changes nothing. Beside it, the machine checks (machine_check.h) with
// Windows' answers.
#include "tools/info/run_check/run_command.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/run_paths.h"
#include "app/update_check_app.h"
#include "tools/info/run_check/dry_parts_win.h"
#include "tools/info/run_check/dry_run.h"
#include "tools/info/run_check/dry_run_report.h"
#include "tools/info/run_check/machine_api_win.h"
#include "tools/info/run_check/machine_check.h"
#include "tools/info/common/observing_internet_win.h"
#include "platform/files_win.h"
#include "platform/internet_api_win.h"
#include "platform/profile_api_win.h"
#include "platform/shell_api_win.h"
#include "shell/browser.h"
#include "update/download.h"

namespace {

constexpr const char* kUsage =
    "usage: falwick-info run [--dir DIR] [--json] COMMAND-LINE\n"
    "COMMAND-LINE is the host's argument string for Falwick.EXE, in one argument. DIR is\n"
    "the program directory Falwick.EXE runs from (default: falwick-info.exe's own).\n";

int Usage(const char* problem) {
  (void)std::fprintf(stderr, "falwick-info: %s\n%s", problem, kUsage);
  return 2;
}

// DIR\Falwick.EXE with DIR made whole; without DIR, beside the tool itself.
std::string ModulePath(const std::string& directory) {
  std::string path;
  if (directory.empty()) {
    std::vector<char> own(32768);
    const DWORD length = GetModuleFileNameA(nullptr, own.data(), static_cast<DWORD>(own.size()));
    path.assign(own.data(), length);
    path.erase(path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\'));
  } else {
    std::vector<char> full(32768);
    const DWORD length = GetFullPathNameA(directory.c_str(), static_cast<DWORD>(full.size()),
                                          full.data(), nullptr);
    path = length > 0 && length < full.size() ? std::string(full.data(), length) : directory;
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  }
  return path + "\\Falwick.EXE";
}

// What the steps found, beyond what the run flow returned.
void Observe(DryRun& run, DryFiles& files, Files& realFiles, const ObservingInternetApi& internet,
             HostSetting& setting, const ReadOnlyProfileApi& profile,
             const RecordingNotice& notice, const LookUpOnlyShell& shell,
             DefaultBrowser& browser, const std::string& bodyPath) {
  run.request = ParseCommandLine(run.commandLine);
  UpdateRequest decided = run.request;
  run.mode = run.commandLine.empty() ? RunMode::kNone : DecideRunMode(decided);
  if (run.mode == RunMode::kNone) return;
  const auto& args = decided.arguments;
  RunPaths paths;
  (void)FindRunPaths(files, decided, paths);
  if (!paths.directory.empty()) {
    run.programDirectory = paths.directory;
    run.infoPath = paths.info;
    run.settingsPath = paths.setting.file;
    run.directory = ProbeDirectoryWrite(paths.directory);
    run.info = ProbeFileWrite(run.infoPath);
    run.settings = ProbeFileWrite(run.settingsPath);
    run.staleInfo = FileExists(run.infoPath);
    run.staleDeletable = run.staleInfo && CanDelete(run.infoPath);
    run.setting = paths.setting;
    // The box's start value, read as the notice would read it (the run itself reads it
    // only on the way to the notice).
    run.disableChecking = notice.asked ? notice.shown.disableChecking : 0;
    if (!notice.asked) setting.Read(run.setting, run.disableChecking);
    run.settingText = profile.lastRead;
  }
  run.connection = internet.connection();
  run.fetchAsked = internet.fetchAsked();
  if (run.fetchAsked) {
    run.fetch = internet.fetch();
    StoreBody(run.fetch, files.stored() ? ReadFileBytes(realFiles, bodyPath,
                                                        DownloadUpdateInfo::kMaxStoredBytes)
                                        : std::string());
  }
  run.read = files.read();
  if (run.read == BodyRead::kDownload) run.readBytes = run.fetch.body;
  if (run.read == BodyRead::kStaleFile) {
    run.readBytes =
        ReadFileBytes(realFiles, run.infoPath, DownloadUpdateInfo::kMaxStoredBytes + 1);
  }
  if (run.fetch.opened && run.read != BodyRead::kNothing) {
    run.check = CheckInfoFile(run.readBytes, ParseInstalledVersion(args[kInstalledVersionArgument]),
                              run.request.productName);
  }
  run.noticeShown = notice.asked;
  run.notice = notice.shown;
  run.browserAsked = !shell.started.empty();
  if (run.browserAsked) run.browserUrl = shell.started.back().parameters;
  // Looked up whether or not the run got as far as the browser.
  run.htmResult = static_cast<long>(browser.FindProgram(run.htmProgram));
}

}  // namespace

int RunCommand(int argc, char** argv) {
  std::string directory;
  bool json = false;
  std::vector<std::string> positional;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--dir") {
      if (i + 1 >= argc) return Usage("--dir needs a value");
      directory = argv[++i];
    } else if (arg.rfind("--dir=", 0) == 0) {
      directory = arg.substr(6);
    } else if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
      return Usage(("unknown option " + arg).c_str());
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 1) return Usage("run needs the host's command line as one argument");

  Win32Files realFiles;
  const ToolTempFile body;
  if (body.path().empty()) return Usage("no temporary file for the download could be created");
  const std::string modulePath = ModulePath(directory);
  DryFiles files(realFiles, modulePath, body.path());
  Win32InternetApi wininet;
  ObservingInternetApi internet(wininet);
  DownloadUpdateInfo download(internet, files);
  Win32ProfileApi realProfile;
  ReadOnlyProfileApi profile(realProfile);
  ProfileHostSetting setting(profile, files);
  RecordingNotice notice;  // answers "No"
  Win32ShellApi realShell;
  LookUpOnlyShell shell(realShell);
  DefaultBrowser browser(files, shell);
  CUpdateCheckApp app(files, download, setting, notice, browser);

  DryRun run;
  run.commandLine = positional[0];
  run.modulePath = modulePath;
  run.falwickPresent = FileExists(run.modulePath);
  run.end = app.Run(run.commandLine.c_str());
  Observe(run, files, realFiles, internet, setting, profile, notice, shell, browser, body.path());

  // The machine beside the run, once the command line has a mode: the .htm program is
  // the one the run's DefaultBrowser found (FindExecutableA, what Falwick starts), not
  // asked again, so that the report names one program for .htm and compares that one
  // with the https program.
  std::optional<MachineCheck> machine;
  if (run.mode != RunMode::kNone) {
    const MachinePaths paths{run.modulePath,   run.falwickPresent,    run.infoPath,
                             run.settingsPath, run.setting.section,   run.htmProgram};
    const Win32MachineApi api;
    machine = CheckMachine(api, paths, run.request.arguments[kDownloadUrlArgument]);
  }

  const DryRunVerdict verdict = JudgeDryRun(run);
  const std::vector<FetchWarning> warnings = DryRunWarnings(run);
  const MachineCheck* checked = machine ? &*machine : nullptr;
  const std::string out = json ? DryRunJson(run, verdict, warnings, checked)
                               : FormatDryRun(run, verdict, warnings, checked);
  (void)std::fwrite(out.data(), 1, out.size(), stdout);
  return verdict.exitStatus;
}
