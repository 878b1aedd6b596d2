// The program's entry point: the run's parts on Windows, one application object, one
// run, exit code 0.
#include <windows.h>

#include "update/host_setting.h"
#include "app/update_check_app.h"
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
  return 0;
}
