// The dry run: the same CUpdateCheckApp, path steps, DownloadUpdateInfo, ProfileHostSetting
// and DefaultBrowser as Falwick.EXE, over the real WinINet (watched), with stand-ins for
// the files, the profile, the notice and the shell (stand_ins_win.h), so that it finds
// what Falwick would find and changes nothing. The run tells the DryRun what it decided;
// what the parts saw is taken from them afterwards. Beside it, the machine checks
// (machine_check.h).
#include "tools/info/run/dry_run.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/update_check_app.h"
#include "platform/files_win.h"
#include "shell/browser.h"
#include "tools/info/fetch/watched_internet_win.h"
#include "tools/info/run/machine_check.h"
#include "tools/info/run/stand_ins_win.h"
#include "update/download.h"

namespace {

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

// The argument whose ANSI form argv holds as `ansi` (or the value of such an
// "--name=value"), as Windows holds it in UTF-16; empty when there is none. argv has the
// arguments in the ANSI code page, which loses what it cannot spell.
std::u16string WideOf(const std::string& ansi) {
  int count = 0;
  wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::unique_ptr<void, decltype(&LocalFree)> owned(arguments, &LocalFree);
  const Win32PathNames names;
  for (int i = 0; arguments != nullptr && i < count; ++i) {
    const std::u16string argument(reinterpret_cast<const char16_t*>(arguments[i]));
    const size_t equals = argument.rfind(u"--", 0) == 0 ? argument.find(u'=') : std::u16string::npos;
    const std::u16string value = equals == std::u16string::npos ? argument : argument.substr(equals + 1);
    if (names.ToAnsi(value) == ansi) return value;
  }
  return {};
}

// What the parts saw, beside the run's own account.
void Observe(DryRun& run, const MachineApi& machine, const DryFiles& files,
             const WatchedInternetApi& internet, const ReadOnlyProfileApi& profile,
             DefaultBrowser& browser, const std::string& bodyPath) {
  if (run.paths && !run.paths->directory.empty()) {
    const RunPaths& paths = *run.paths;
    run.directory = ProbeDirectoryWrite(paths.directory);
    run.infoFile = ProbeFileWrite(paths.info);
    run.settingsFile = ProbeFileWrite(paths.setting.file);
    run.staleInfo = FileExists(paths.info);
    run.staleDeletable = run.staleInfo && CanDelete(paths.info);
  }
  run.settingText = profile.lastRead;
  run.connection = internet.connection();
  run.fetchAsked = internet.fetchAsked();
  if (run.fetchAsked) {
    run.fetch = internet.fetch();
    StoreBody(run.fetch, files.stored()
                             ? machine.FileStart(bodyPath, DownloadUpdateInfo::kMaxStoredBytes)
                             : std::string());
  }
  run.read = files.read();
  if (run.read == BodyRead::kDownload) run.readBytes = run.fetch.body;
  if (run.read == BodyRead::kStaleFile) {
    run.readBytes = machine.FileStart(run.paths->info, DownloadUpdateInfo::kMaxStoredBytes + 1);
  }
  if (run.decision && run.read != BodyRead::kNothing) {
    run.check = CheckInfoFile(run.readBytes, run.installed, run.request.productName);
  }
  // The program's own lookup, whether or not the run got as far as the browser.
  run.htmResult = static_cast<long>(browser.FindProgram(run.htmProgram));
}

}  // namespace

std::optional<Fact> RunCommand(const std::string& commandLine, const std::string& directory,
                               Findings& findings) {
  const ToolTempFile body;
  if (body.path().empty()) return std::nullopt;
  const SpelledPath falwickPath = FalwickPath(directory.empty() ? u"" : WideOf(directory));
  DryRun run;
  run.commandLine = commandLine;
  run.modulePath = falwickPath.text;
  run.falwickPresent = FileExists(run.modulePath);
  DryFiles files(run.modulePath, body.path());
  WatchedInternetApi internet;
  DownloadUpdateInfo download(internet, files);
  ReadOnlyProfileApi profile;
  ProfileHostSetting setting(profile, files);
  SilentNotice notice;
  LookUpOnlyShell shell;
  DefaultBrowser browser(files, shell);
  CUpdateCheckApp app(files, download, setting, notice, browser);
  app.Observe(&run);
  run.end = app.Run(run.commandLine.c_str());
  const Win32MachineApi api;
  Observe(run, api, files, internet, profile, browser, body.path());

  // The machine beside the run, once the command line has a mode.
  findings = DryRunFindings(run);
  Fact machine;
  if (run.mode != RunMode::kNone) {
    const RunPaths paths = run.paths.value_or(RunPaths{});
    // The URLs as the host gave them, before the ANSI code page, taken apart by the
    // program's own parser (its brackets are the same in UTF-8).
    const UpdateRequest given = ParseCommandLine(Utf8(WideOf(commandLine)));
    const bool urls = given.arguments.size() > kDownloadUrlArgument;
    const MachineCheck checked = CheckMachine(
        api, Win32PathNames(),
        {run.modulePath, run.falwickPresent, paths.info, paths.setting.file,
         paths.setting.section, run.htmProgram, falwickPath,
         SpelledTempDirectory().value_or(SpelledPath{}),
         urls ? FromUtf8(given.arguments[kInfoUrlArgument]) : std::u16string(),
         urls ? FromUtf8(given.arguments[kDownloadUrlArgument]) : std::u16string()},
        run.request.arguments[kDownloadUrlArgument]);
    findings.Append(checked.findings);
    machine = checked.fact;
  }
  return DryRunReport(run, JudgeDryRun(run), findings, std::move(machine));
}
