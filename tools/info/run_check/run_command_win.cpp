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

// The command line's arguments as Windows holds them, in UTF-16. argv has them in the
// ANSI code page, which loses what it cannot spell; the order is the same.
std::vector<std::u16string> WideArguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(reinterpret_cast<char16_t*>(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string Utf8(const std::u16string& text) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<size_t>(size) : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
  utf8.pop_back();
  return utf8;
}

std::u16string FromUtf8(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(size > 0 ? static_cast<size_t>(size) : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
  wide.pop_back();
  return std::u16string(reinterpret_cast<const char16_t*>(wide.c_str()), wide.size());
}

// DIR\Falwick.EXE with DIR made whole, spelled as Falwick spells its own path (in its
// short form where the ANSI code page cannot spell it); without DIR, beside the tool.
SpelledPath FalwickPath(const std::u16string& directory) {
  std::vector<wchar_t> path(32768);
  DWORD length = 0;
  if (directory.empty()) {
    length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    while (length > 0 && path[length - 1] != L'\\') --length;
  } else {
    length = GetFullPathNameW(reinterpret_cast<const wchar_t*>(directory.c_str()),
                              static_cast<DWORD>(path.size()), path.data(), nullptr);
    if (length >= path.size()) length = 0;
  }
  std::u16string folder(reinterpret_cast<const char16_t*>(path.data()), length);
  while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  std::optional<SpelledPath> spelled = SpellPath(folder);
  // Too long for the ANSI functions: the dry run then finds it too long, as Falwick would.
  if (!spelled) spelled = SpelledPath{Win32PathNames().ToAnsi(folder), Spelling::kLossy};
  spelled->text += "\\Falwick.EXE";
  return *spelled;
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
  const std::vector<std::u16string> wide = WideArguments();
  const auto wideAt = [&wide, argc](int i) {
    return wide.size() == static_cast<size_t>(argc) ? wide[static_cast<size_t>(i)] : u"";
  };
  std::u16string directory;
  bool json = false;
  std::vector<std::string> positional;
  std::u16string commandLineWide;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--dir") {
      if (i + 1 >= argc) return Usage("--dir needs a value");
      directory = wideAt(++i);
    } else if (arg.rfind("--dir=", 0) == 0) {
      directory = wideAt(i).substr(6);
    } else if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
      return Usage(("unknown option " + arg).c_str());
    } else {
      positional.push_back(arg);
      commandLineWide = wideAt(i);
    }
  }
  if (positional.size() != 1) return Usage("run needs the host's command line as one argument");

  Win32Files realFiles;
  const ToolTempFile body;
  if (body.path().empty()) return Usage("no temporary file for the download could be created");
  const SpelledPath falwickPath = FalwickPath(directory);
  const std::string& modulePath = falwickPath.text;
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
    // The URLs as the host gave them, before the ANSI code page, taken apart by the
    // program's own parser (its brackets are the same in UTF-8).
    const UpdateRequest given = ParseCommandLine(Utf8(commandLineWide));
    const bool urls = given.arguments.size() > kDownloadUrlArgument;
    const MachinePaths paths{
        run.modulePath,
        run.falwickPresent,
        run.infoPath,
        run.settingsPath,
        run.setting.section,
        run.htmProgram,
        falwickPath,
        SpelledTempDirectory().value_or(SpelledPath{}),
        urls ? FromUtf8(given.arguments[kInfoUrlArgument]) : std::u16string(),
        urls ? FromUtf8(given.arguments[kDownloadUrlArgument]) : std::u16string()};
    const Win32MachineApi api;
    machine = CheckMachine(api, Win32PathNames(), paths,
                           run.request.arguments[kDownloadUrlArgument]);
  }

  const DryRunVerdict verdict = JudgeDryRun(run);
  const std::vector<FetchWarning> warnings = DryRunWarnings(run);
  const MachineCheck* checked = machine ? &*machine : nullptr;
  const std::string out = json ? DryRunJson(run, verdict, warnings, checked)
                               : FormatDryRun(run, verdict, warnings, checked);
  (void)std::fwrite(out.data(), 1, out.size(), stdout);
  return verdict.exitStatus;
}
