// active_frame.exe, for the preview: paints the notice dialog's frame as active when the
// dialog is the foreground window.
//
// Under Wine without a window manager the notice dialog becomes the foreground window
// and has the keyboard focus, yet its caption bar stays painted in the inactive colours.
// On Windows the dialog of a program the host has just started is active, and the
// preview is to show it that way: this asks the dialog's frame to paint itself active
// (WM_NCACTIVATE), which changes nothing but the frame's colours.
//
// Exit status: 0 done; 2 when there is no such window or it is not the foreground one.
#include <windows.h>

int main() {
  const HWND dialog = FindWindowA(nullptr, "New Program Update Available");
  if (dialog == nullptr || GetForegroundWindow() != dialog) return 2;
  DWORD_PTR result = 0;
  SendMessageTimeoutA(dialog, WM_NCACTIVATE, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &result);
  return 0;
}
