// The application object: one per process. Its initialisation runs the whole program:
// parse the host's command line, fetch and read the update information, announce a
// newer version, store the disable-checking setting, open the download page.
#pragma once

#include <string>

#include "app/command_line.h"
#include "app/run_observer.h"
#include "app/run_paths.h"
#include "platform/files.h"
#include "platform/window.h"
#include "shell/browser.h"
#include "ui/notice.h"
#include "update/download.h"

struct UpdateInfo;

class CUpdateCheckApp {
 public:
  // The run's parts, each named for what the run asks of it.
  CUpdateCheckApp(Files& files, InfoDownload& download, HostSetting& setting, Notice& notice,
                  Browser& browser);

  // Runs one update check for `commandLine` (the command line without the program's own
  // path). Always returns false: the application does not keep running.
  bool InitInstance(const char* commandLine);

  // The same run, telling how it ended.
  RunEnd Run(const char* commandLine);

  // Tells `observer` (none: nobody) what the runs decide, step by step.
  void Observe(RunObserver* observer) { observer_ = observer; }

  // Opens `url` in the default browser, owned by the main window if there is one.
  void OpenInBrowser(const std::string& url);

  // The application's main window: the notice dialog's window while it exists.
  WindowHandle MainWindow() const;

 private:
  RunEnd RunUpdateCheck(const UpdateRequest& request, bool explicitCheck);
  void RunNoticeSequence(const UpdateRequest& request, const UpdateInfo& info,
                         const SettingLocation& setting);

  Files& files_;
  InfoDownload& download_;
  HostSetting& setting_;
  Notice& notice_;
  Browser& browser_;
  RunObserver* observer_ = nullptr;
};
