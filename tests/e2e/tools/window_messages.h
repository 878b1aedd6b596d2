// Messages from a test tool to another process's window. Each send gives up after
// `timeoutMs`, a window that does not answer then reads as 0, so no tool can hang on a
// hung window.
#pragma once

#include <windows.h>

#include <string>

inline LRESULT SendWithin(DWORD timeoutMs, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs,
                           &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

// The window's text, as WM_GETTEXT gives it; empty when it does not answer.
inline std::string WindowTextWithin(DWORD timeoutMs, HWND window) {
  const auto length = static_cast<size_t>(SendWithin(timeoutMs, window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(length + 1, '\0');
  const auto copied = static_cast<size_t>(SendWithin(
      timeoutMs, window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied < length ? copied : length);
  return text;
}
