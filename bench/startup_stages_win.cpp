// Programs between the do-nothing program and Falwick.EXE, for seeing where the start-up
// time of a check goes under Wine. Built once per stage, each with the flags of
// Falwick.EXE:
//   STAGE 0  imports user32 (which WinINet itself imports) and does nothing;
//   STAGE 1  imports WinINet and does nothing;
//   STAGE 2  asks WinINet whether the machine is on line;
//   STAGE 3  also fetches the URL given as its command line and reads it to the end;
//   STAGE 4  the floor of a check: stage 3 importing every DLL Falwick.EXE imports
//            (shell32 too), so that what Falwick spends beyond it is its own work.
#include <windows.h>
// After windows.h, which shellapi.h and wininet.h need.
#include <shellapi.h>
#include <wininet.h>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR commandLine,
                   int /*show*/) {
  // Calls behind a test the compiler cannot decide keep the import without running it.
#if STAGE == 0
  if (commandLine == nullptr) MessageBeep(0);
#elif STAGE == 1
  if (commandLine == nullptr) InternetCloseHandle(nullptr);
#else
  DWORD flags = 0;
  if (!InternetGetConnectedState(&flags, 0)) return 0;
#if STAGE == 4
  if (commandLine == nullptr) {
    MessageBeep(0);
    ShellExecuteA(nullptr, nullptr, nullptr, nullptr, nullptr, 0);
  }
#endif
#if STAGE >= 3
  HINTERNET internet = InternetOpenA("Orvanel Program Update", INTERNET_OPEN_TYPE_PRECONFIG,
                                     nullptr, nullptr, 0);
  HINTERNET url = InternetOpenUrlA(internet, commandLine, nullptr, 0,
                                   INTERNET_FLAG_EXISTING_CONNECT, 0);
  if (url != nullptr) {
    char buffer[1024];
    DWORD read = 0;
    while (InternetReadFile(url, buffer, sizeof buffer, &read) && read > 0) {
    }
    InternetCloseHandle(url);
  }
  InternetCloseHandle(internet);
#else
  (void)commandLine;
#endif
#endif
  return 0;
}
