// A hook the dialog driver installs in the dialog's thread when it cannot ask for the
// window's icons from outside (Wine 8 does not carry WM_GETICON between processes). The
// driver sends the registered message kIconQueryMessage; the hook, running inside the
// dialog's thread, asks the window itself and replies before the window handles it:
// 0x100 (answered) | 1 if WM_GETICON ICON_BIG gave an icon | 2 if ICON_SMALL did.
#include <windows.h>

namespace {
constexpr const char* kIconQueryMessage = "FalwickDialogDriver.QueryIcons";
UINT g_query = 0;
}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK DialogDriverHook(int code, WPARAM wParam,
                                                                   LPARAM lParam) {
  if (code == HC_ACTION) {
    if (g_query == 0) g_query = RegisterWindowMessageA(kIconQueryMessage);
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (sent->message == g_query && InSendMessage()) {
      LRESULT icons = 0x100;
      if (SendMessageA(sent->hwnd, WM_GETICON, ICON_BIG, 0) != 0) icons |= 1;
      if (SendMessageA(sent->hwnd, WM_GETICON, ICON_SMALL, 0) != 0) icons |= 2;
      ReplyMessage(icons);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
