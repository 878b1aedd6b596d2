#include "app/update_check_app.h"

#include "app/program_directory.h"
#include "platform/win_constants.h"
#include "shell/browser.h"
#include "ui/disable_checking_setting.h"
#include "ui/notice_dialog.h"
#include "update/download.h"
#include "update/program_version.h"
#include "update/update_info.h"

CUpdateCheckApp::CUpdateCheckApp(Platform& platform) : platform_(platform) {}

bool CUpdateCheckApp::InitInstance(const char* commandLine) {
  if (commandLine == nullptr || *commandLine == '\0') return false;
  const std::optional<std::string> directory = ProgramDirectory(platform_);
  if (!directory) return false;

  UpdateRequest request = ParseCommandLine(commandLine);
  const RunMode mode = DecideRunMode(request);
  if (mode != RunMode::kNone) {
    RunUpdateCheck(request, *directory, mode == RunMode::kExplicitCheck);
  }
  return false;
}

void CUpdateCheckApp::RunUpdateCheck(const UpdateRequest& request,
                                     const std::string& programDirectory,
                                     bool explicitCheck) {
  const auto& args = request.arguments;
  const std::string infoPath = programDirectory + args[kInfoFileNameArgument];
  const std::string settingsPath = programDirectory + args[kSettingsFileNameArgument];
  // Deleting and rewriting the info file would destroy the host's settings.
  if (SamePath(infoPath, settingsPath)) return;

  platform_.DeleteFileA(infoPath.c_str());  // a stale copy must not be read

  DownloadUpdateInfo download(platform_);  // closes the Internet handle last
  if (!download.Connect()) return;
  if (!download.Fetch(args[kInfoUrlArgument], infoPath)) return;

  const ProgramVersion installed = ParseInstalledVersion(args[kInstalledVersionArgument]);
  const UpdateInfo info = ReadUpdateInfo(platform_, infoPath, installed);
  if (IsNewerVersion(info.newest, installed)) {
    RunNoticeSequence(request, info, settingsPath);
  } else if (explicitCheck) {
    OpenInBrowser(args[kDownloadUrlArgument]);
  }
}

void CUpdateCheckApp::RunNoticeSequence(const UpdateRequest& request, const UpdateInfo& info,
                                        const std::string& settingsPath) {
  const auto& args = request.arguments;
  const SettingLocation setting{settingsPath, args[kSettingsSectionArgument],
                                args[kSettingsKeyArgument]};

  std::unique_ptr<NoticeDialog> dialog = platform_.CreateNoticeDialog();
  mainWindow_ = dialog.get();
  dialog->productName = request.productName;
  dialog->displayVersion = FormatDisplayVersion(info.newest);
  dialog->noticeText = ComposeNoticeText(info.messages);
  ReadDisableChecking(platform_, setting, dialog->disableChecking);

  const int result = dialog->DoModal();
  mainWindow_ = nullptr;  // the dialog's window is gone

  // Stored whatever the answer, so the box is kept as the user left it; a dialog that
  // could not be created counts as "No".
  WriteDisableChecking(platform_, setting, dialog->disableChecking);
  if (result == win::kIdOk) OpenInBrowser(args[kDownloadUrlArgument]);
}

void CUpdateCheckApp::OpenInBrowser(const std::string& url) {
  ::OpenInBrowser(platform_, MainWindow(), url);
}

WindowHandle CUpdateCheckApp::MainWindow() const {
  return mainWindow_ != nullptr ? mainWindow_->Window() : nullptr;
}
