// The program's entry point: the run's parts on Windows, one application object, one
// run, exit code 0.
#include <windows.h>

#include "update/host_setting.h"
#include "app/update_check_app.h"
#include "platform/deadline_win.h"
#include "platform/files_win.h"
#include "platform/internet_api_win.h"
#include "platform/profile_api_win.h"
#include "platform/shell_api_win.h"
#include "shell/browser.h"
#include "ui/notice_win.h"
#include "update/download.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine,
                   int /*show*/) {
  Win32Files files;
  Win32InternetApi internet;
  Win32ProfileApi profile;
  Win32ShellApi shell;

  DownloadUpdateInfo download(internet, files);
  ProfileHostSetting setting(profile, files);
  DialogNotice notice(instance);
  DefaultBrowser browser(files, shell);

  CUpdateCheckApp app(files, download, setting, notice, browser);
  app.InitInstance(commandLine);
  // A call abandoned at the deadline may still hold WinINet's locks: the process then
  // ends without running WinINet's detach code (platform/deadline_win.h).
  EndProcessIfAbandoned(0);
  return 0;
}
