#include "platform/shell_api_win.h"

#include <windows.h>

#include <shellapi.h>

static_assert(win::kShowNormal == SW_SHOWNORMAL);

intptr_t Win32ShellApi::FindExecutableA(const char* file, const char* directory, char* result) {
  return reinterpret_cast<intptr_t>(::FindExecutableA(file, directory, result));
}

intptr_t Win32ShellApi::ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                      const char* parameters, const char* directory,
                                      int showCommand) {
  return reinterpret_cast<intptr_t>(::ShellExecuteA(static_cast<HWND>(owner), verb, file,
                                                    parameters, directory, showCommand));
}
