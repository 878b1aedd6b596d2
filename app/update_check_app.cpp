#include "app/update_check_app.h"

#include <optional>

#include "update/info_file.h"
#include "update/notice_text.h"
#include "update/program_version.h"

CUpdateCheckApp::CUpdateCheckApp(Files& files, InfoDownload& download, HostSetting& setting,
                                 Notice& notice, Browser& browser)
    : files_(files), download_(download), setting_(setting), notice_(notice), browser_(browser) {}

bool CUpdateCheckApp::InitInstance(const char* commandLine) {
  (void)Run(commandLine);
  return false;
}

RunEnd CUpdateCheckApp::Run(const char* commandLine) {
  if (commandLine == nullptr || *commandLine == '\0') return RunEnd::kEmptyCommandLine;
  UpdateRequest request = ParseCommandLine(commandLine);
  if (observer_ != nullptr) observer_->Parsed(request);
  ModeProblem problem = ModeProblem::kNone;
  const RunMode mode = DecideRunMode(request, &problem);
  if (observer_ != nullptr) observer_->Decided(mode, problem);
  if (mode == RunMode::kNone) return RunEnd::kBadCommandLine;
  return RunUpdateCheck(request, mode == RunMode::kExplicitCheck);
}

RunEnd CUpdateCheckApp::RunUpdateCheck(const UpdateRequest& request, bool explicitCheck) {
  const auto& args = request.arguments;
  RunPaths paths;
  const std::optional<RunEnd> pathsEnd = FindRunPaths(files_, request, paths);
  if (observer_ != nullptr) observer_->Found(paths);
  if (pathsEnd) return *pathsEnd;

  files_.Delete(paths.info);  // a stale copy must not be read

  const bool online = download_.Connect();
  if (observer_ != nullptr) observer_->Connected(download_.Connection());
  if (!online) return RunEnd::kOffline;
  RunEnd end = RunEnd::kUrlNotOpened;
  const bool opened = download_.Fetch(args[kInfoUrlArgument], paths.info);
  if (observer_ != nullptr) observer_->Fetched(opened);
  if (opened) {
    const ProgramVersion installed = ParseInstalledVersion(args[kInstalledVersionArgument]);
    const UpdateInfo info = ReadUpdateInfo(files_, paths.info, installed);
    const VersionDecision decision = DecideVersion(info.newest, installed);
    if (observer_ != nullptr) observer_->Compared(installed, info, decision);
    if (decision.newer) {
      RunNoticeSequence(request, info, paths.setting);
      end = RunEnd::kNewer;
    } else {
      if (explicitCheck) OpenInBrowser(args[kDownloadUrlArgument]);
      end = RunEnd::kNotNewer;
    }
  }
  download_.Close();  // the connection stays open until the check is done
  return end;
}

void CUpdateCheckApp::RunNoticeSequence(const UpdateRequest& request, const UpdateInfo& info,
                                        const SettingLocation& setting) {
  const auto& args = request.arguments;

  NoticeDialogData dialog;
  dialog.productName = request.productName;
  dialog.displayVersion = FormatDisplayVersion(info.newest);
  dialog.noticeText = ComposeNoticeText(info.messages);
  setting_.Read(setting, dialog.disableChecking);
  if (observer_ != nullptr) observer_->Announcing(dialog);

  const NoticeAnswer answer = notice_.Ask(dialog);

  // Stored whatever the answer, so the box is kept as the user left it.
  setting_.Write(setting, dialog.disableChecking);
  if (answer == NoticeAnswer::kYes) OpenInBrowser(args[kDownloadUrlArgument]);
}

void CUpdateCheckApp::OpenInBrowser(const std::string& url) {
  if (observer_ != nullptr) observer_->Opening(url);
  browser_.Open(MainWindow(), url);
}

WindowHandle CUpdateCheckApp::MainWindow() const { return notice_.Window(); }
