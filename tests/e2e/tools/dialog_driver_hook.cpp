// A hook the dialog driver installs in the dialog's thread to ask there what cannot be
// asked from outside. The driver sends a registered message; the hook, running inside
// the dialog's thread, answers it before the window handles it:
//   kIconQueryMessage (to the dialog): 0x100 (answered) | 1 if WM_GETICON ICON_BIG gave
//     an icon | 2 if ICON_SMALL did (Wine 8 does not carry WM_GETICON between processes);
//   kTextExtentMessage (to a control): 1 << 32 (answered) | the height << 16 | the width
//     of the control's text as one line in the control's font (WM_GETFONT; a GDI font
//     is of no use in another process), "&" prefixes not counted: "&&" is one "&".
#include <windows.h>

#include <string>

namespace {
constexpr const char* kIconQueryMessage = "FalwickDialogDriver.QueryIcons";
constexpr const char* kTextExtentMessage = "FalwickDialogDriver.TextExtent";
UINT g_iconQuery = 0;
UINT g_textExtent = 0;

LRESULT Icons(HWND window) {
  LRESULT icons = 0x100;
  if (SendMessageA(window, WM_GETICON, ICON_BIG, 0) != 0) icons |= 1;
  if (SendMessageA(window, WM_GETICON, ICON_SMALL, 0) != 0) icons |= 2;
  return icons;
}

LRESULT TextExtent(HWND control) {
  char text[2048] = {};
  const int length = GetWindowTextA(control, text, sizeof text);
  std::string shown;
  for (int i = 0; i < length; ++i) {
    if (text[i] == '&' && i + 1 < length) ++i;  // the next character is shown
    shown += text[i];
  }
  const HDC dc = GetDC(control);
  if (dc == nullptr) return 0;
  const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
  SIZE size = {};
  const BOOL measured =
      GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  if (!measured) return 0;
  return static_cast<LRESULT>(1ULL << 32 | (size.cy & 0xFFFFULL) << 16 | (size.cx & 0xFFFFULL));
}
}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK DialogDriverHook(int code, WPARAM wParam,
                                                                   LPARAM lParam) {
  if (code == HC_ACTION) {
    if (g_iconQuery == 0) g_iconQuery = RegisterWindowMessageA(kIconQueryMessage);
    if (g_textExtent == 0) g_textExtent = RegisterWindowMessageA(kTextExtentMessage);
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (InSendMessage()) {
      if (sent->message == g_iconQuery) ReplyMessage(Icons(sent->hwnd));
      if (sent->message == g_textExtent) ReplyMessage(TextExtent(sent->hwnd));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
