// The application object: one per process. Its initialisation runs the whole program:
// parse the host's command line, fetch and read the update information, announce a
// newer version, store the disable-checking setting, open the download page.
#pragma once

#include <string>

#include "app/command_line.h"
#include "platform/platform.h"

class NoticeDialog;
struct UpdateInfo;

class CUpdateCheckApp {
 public:
  explicit CUpdateCheckApp(Platform& platform);

  // Runs one update check for `commandLine` (the command line without the program's own
  // path). Always returns false: the application does not keep running.
  bool InitInstance(const char* commandLine);

  // Opens `url` in the default browser, owned by the main window if there is one.
  void OpenInBrowser(const std::string& url);

  // The application's main window: the notice dialog's window while it exists.
  WindowHandle MainWindow() const;

 private:
  void RunUpdateCheck(const UpdateRequest& request, const std::string& programDirectory,
                      bool explicitCheck);
  void RunNoticeSequence(const UpdateRequest& request, const UpdateInfo& info,
                         const std::string& settingsPath);

  Platform& platform_;
  NoticeDialog* mainWindow_ = nullptr;
};
