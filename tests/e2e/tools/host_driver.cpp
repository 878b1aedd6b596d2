// Drives the sample host product (examples/host) from outside, as a user would, for the
// end-to-end tests.
//
//   host_driver.exe OUT.txt [ACTION ...]
//
// Waits up to 30 s for a visible top-level window of class "FalwickSampleHost", then
// performs the actions in order:
//   click   clicks its button "Check for updates now" (id 101); the click has been
//           handled when the driver goes on
//   save    writes the text of its log (the edit control, id 102) to OUT.txt, a Windows
//           path, as the ANSI bytes
//   rect    writes its rectangle on the screen to OUT.txt: "left top right bottom"
//   close   closes the window and waits, again up to 30 s, until it is gone
// save and rect each replace what OUT.txt held.
// Exit status: 0 when every action was done; 2 when no window appeared in time; 1 for a
// bad command line, an output file that cannot be written or a window that stays.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "window_messages.h"

namespace {

constexpr const char* kWindowClass = "FalwickSampleHost";
constexpr int kCheckNowId = 101;
constexpr int kLogId = 102;
constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kPollMs = 20;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendWithin(kTimeoutMs, window, message, wParam, lParam);
}

bool Write(const std::string& text, const char* path) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && written;
}

std::string LogText(HWND window) {
  return WindowTextWithin(kTimeoutMs, GetDlgItem(window, kLogId));
}

std::string RectText(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
         std::to_string(rect.right) + " " + std::to_string(rect.bottom);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const DWORD start = GetTickCount();
  HWND window = nullptr;
  while ((window = FindWindowA(kWindowClass, nullptr)) == nullptr ||
         !IsWindowVisible(window)) {
    if (GetTickCount() - start > kTimeoutMs) return 2;
    Sleep(kPollMs);
  }
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "click") == 0) {
      // The button tells its window in a message sent, not posted: once BM_CLICK
      // returns, the host has handled the click.
      Send(GetDlgItem(window, kCheckNowId), BM_CLICK, 0, 0);
    } else if (std::strcmp(argv[i], "save") == 0) {
      if (!Write(LogText(window), argv[1])) return 1;
    } else if (std::strcmp(argv[i], "rect") == 0) {
      if (!Write(RectText(window), argv[1])) return 1;
    } else if (std::strcmp(argv[i], "close") == 0) {
      PostMessageA(window, WM_CLOSE, 0, 0);
      const DWORD closing = GetTickCount();
      while (IsWindow(window)) {
        if (GetTickCount() - closing > kTimeoutMs) return 1;
        Sleep(kPollMs);
      }
    } else {
      return 1;
    }
  }
  return 0;
}
