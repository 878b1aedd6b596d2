// The program's entry point: one application object, one run, exit code 0.
#include <windows.h>

#include "app/update_check_app.h"
#include "platform/platform_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine,
                   int /*show*/) {
  Win32Platform platform(instance);
  CUpdateCheckApp app(platform);
  app.InitInstance(commandLine);
  return 0;
}
