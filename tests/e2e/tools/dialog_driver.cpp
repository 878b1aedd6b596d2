// Reads and drives Falwick's notice dialog from outside, as a user would, for the
// end-to-end tests.
//
//   dialog_driver.exe --out OUT.json [--timeout SECONDS] [ACTION ...]
//
// Waits (30 s unless told) for a visible top-level window titled exactly "New Program
// Update Available", writes a description of it to OUT.json (a Windows path; under Wine
// a Unix path works as Z:\path\with\backslashes), then performs the actions in order:
//   tick, untick  click check box 1000 until it is ticked / clear
//   yes, no       click button 1 / button 2
//   esc, enter    post the key (down and up) to the focused control of the dialog's
//                 thread, so that it goes through the dialog's own key handling
// After a closing action (yes, no, esc, enter) it waits, again up to the time-out, until
// the window is gone.
//
// Exit status: 0 when the window was found and every action was done; 2 when no window
// appeared in time (OUT.json is then not written); 1 for a bad command line, an output
// file that cannot be written, a check box that would not change or a window that
// would not close.
//
// OUT.json is one object:
//   caption      the window text
//   style, ex_style  GWL_STYLE and GWL_EXSTYLE, as unsigned numbers
//   rect         {left, top, right, bottom}: the window rectangle on the screen
//   screen       {width, height}: SM_CXSCREEN, SM_CYSCREEN
//   work_area    {left, top, right, bottom}: the primary monitor's work area
//   icon_big, icon_small  whether WM_GETICON ICON_BIG / ICON_SMALL gives an icon (null
//                when it could not be asked; see QueryIcons)
//   default_id   the default push button's id (DM_GETDEFID), null when none
//   focus_id     the id of the control with the focus in the dialog's thread, null when
//                none or not in the dialog
//   client       {left, top, right, bottom}: the dialog's client area (left, top 0)
//   dpi          the screen's dots per inch (LOGPIXELSX)
//   check_box    {cx, cy}: SM_CXMENUCHECK, SM_CYMENUCHECK, the size of a check box's box
//   controls     the child windows in z-order, each {id, class, text, style, rect,
//                text_extent}: rect in the dialog's client coordinates; text_extent
//                {cx, cy} the text as one line in the control's own font, an "&" that
//                underlines not counted (GetTextExtentPoint32A inside the dialog's
//                thread), null when it could not be measured; buttons also {checked}:
//                BM_GETCHECK, 0 clear, 1 ticked, 2 indeterminate
// Sizes are in pixels of the screen: the driver declares itself DPI-aware, so that
// Windows does not scale what it reports.
// Texts are the ANSI bytes, each byte outside printable ASCII written as \u00XX (so
// reading the file as Latin-1 gives the bytes back).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "window_messages.h"

namespace {

constexpr const char* kCaption = "New Program Update Available";
constexpr int kCheckBoxId = 1000;
// Asked of dialog_driver_hook.dll inside the dialog's thread (see InThreadHook).
constexpr const char* kIconQueryMessage = "FalwickDialogDriver.QueryIcons";
constexpr const char* kTextExtentMessage = "FalwickDialogDriver.TextExtent";
constexpr const char* kHookModule = "dialog_driver_hook.dll";
constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 5000;

DWORD g_timeoutMs = 30000;  // for each wait: for the window, for it to close
DWORD g_deadline = 0;       // GetTickCount value at which the current wait ends

void StartWaiting() { g_deadline = GetTickCount() + g_timeoutMs; }
bool TimeLeft() { return static_cast<LONG>(g_deadline - GetTickCount()) > 0; }

// A message to another process's window that cannot hang the driver for ever.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendWithin(kSendTimeoutMs, window, message, wParam, lParam);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonRect(const RECT& r) {
  char text[128];
  std::snprintf(text, sizeof text,
                "{\"left\": %ld, \"top\": %ld, \"right\": %ld, \"bottom\": %ld}", r.left,
                r.top, r.right, r.bottom);
  return text;
}

std::string Number(unsigned long long value) { return std::to_string(value); }

std::string WindowText(HWND window) { return WindowTextWithin(kSendTimeoutMs, window); }

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The focused window of the dialog's thread, if it is the dialog or one of its controls.
HWND FocusedControl(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  if (info.hwndFocus != dialog && !IsChild(dialog, info.hwndFocus)) return nullptr;
  return info.hwndFocus;
}

std::string JsonFlag(bool known, bool value) {
  return !known ? "null" : value ? "true" : "false";
}

struct Icons {
  bool known = false;  // false when neither way of asking worked
  bool big = false;
  bool small = false;
};

// dialog_driver_hook.dll, which lies next to this program, hooked into the dialog's
// thread while the object lives, to ask there what cannot be asked from outside: a GDI
// font belongs to its process, and Wine 8 does not carry WM_GETICON between processes.
class InThreadHook {
 public:
  explicit InThreadHook(HWND dialog) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char* slash = std::strrchr(path, '\\');
    if (slash == nullptr ||
        static_cast<size_t>(slash - path) + std::strlen(kHookModule) + 2 > MAX_PATH) {
      return;
    }
    std::strcpy(slash + 1, kHookModule);
    module_ = LoadLibraryA(path);
    if (module_ == nullptr) return;
    const auto proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DialogDriverHook")));
    if (proc == nullptr) return;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, proc, module_,
                              GetWindowThreadProcessId(dialog, nullptr));
  }
  ~InThreadHook() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (module_ != nullptr) FreeLibrary(module_);
  }
  InThreadHook(const InThreadHook&) = delete;
  InThreadHook& operator=(const InThreadHook&) = delete;

  // The hook's answer to the registered message `name` sent to `window`, 0 without one.
  unsigned long long Ask(HWND window, const char* name) const {
    if (hook_ == nullptr) return 0;
    return static_cast<unsigned long long>(Send(window, RegisterWindowMessageA(name), 0, 0));
  }

 private:
  HMODULE module_ = nullptr;
  HHOOK hook_ = nullptr;
};

// Whether WM_GETICON gives the window a big and a small icon: asked from outside as
// Windows allows, else inside the dialog's thread.
Icons QueryIcons(HWND dialog, const InThreadHook& hook) {
  Icons icons;
  DWORD_PTR big = 0;
  DWORD_PTR small = 0;
  if (SendMessageTimeoutA(dialog, WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                          &big) &&
      SendMessageTimeoutA(dialog, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                          &small)) {
    icons.known = true;
    icons.big = big != 0;
    icons.small = small != 0;
    return icons;
  }
  const unsigned long long answer = hook.Ask(dialog, kIconQueryMessage);
  if (answer & 0x100) {
    icons.known = true;
    icons.big = (answer & 1) != 0;
    icons.small = (answer & 2) != 0;
  }
  return icons;
}

// The control's text extent as the hook measured it: bit 32 set when it did, the width
// in bits 0 to 15, the height in bits 16 to 31.
std::string JsonTextExtent(HWND control, const InThreadHook& hook) {
  const unsigned long long answer = hook.Ask(control, kTextExtentMessage);
  if ((answer >> 32 & 1) == 0) return "null";
  return "{\"cx\": " + Number(answer & 0xFFFF) + ", \"cy\": " + Number(answer >> 16 & 0xFFFF) +
         "}";
}

std::string Describe(HWND dialog) {
  std::string json = "{\n";
  json += "  \"caption\": " + JsonString(WindowText(dialog)) + ",\n";
  json += "  \"style\": " + Number(static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE))) +
          ",\n";
  json += "  \"ex_style\": " +
          Number(static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE))) + ",\n";
  RECT rect = {};
  GetWindowRect(dialog, &rect);
  json += "  \"rect\": " + JsonRect(rect) + ",\n";
  json += "  \"screen\": {\"width\": " + Number(GetSystemMetrics(SM_CXSCREEN)) +
          ", \"height\": " + Number(GetSystemMetrics(SM_CYSCREEN)) + "},\n";
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  json += "  \"work_area\": " + JsonRect(monitor.rcWork) + ",\n";
  RECT client = {};
  GetClientRect(dialog, &client);
  json += "  \"client\": " + JsonRect(client) + ",\n";
  const HDC screenDc = GetDC(nullptr);
  json += "  \"dpi\": " + Number(GetDeviceCaps(screenDc, LOGPIXELSX)) + ",\n";
  ReleaseDC(nullptr, screenDc);
  json += "  \"check_box\": {\"cx\": " + Number(GetSystemMetrics(SM_CXMENUCHECK)) +
          ", \"cy\": " + Number(GetSystemMetrics(SM_CYMENUCHECK)) + "},\n";
  const InThreadHook hook(dialog);
  const Icons icons = QueryIcons(dialog, hook);
  json += "  \"icon_big\": " + JsonFlag(icons.known, icons.big) + ",\n";
  json += "  \"icon_small\": " + JsonFlag(icons.known, icons.small) + ",\n";
  const auto defId = static_cast<DWORD>(Send(dialog, DM_GETDEFID, 0, 0));
  json += "  \"default_id\": " +
          (HIWORD(defId) == DC_HASDEFID ? Number(LOWORD(defId)) : std::string("null")) + ",\n";
  const HWND focus = FocusedControl(dialog);
  const bool focusInside = focus != nullptr && focus != dialog;
  json += "  \"focus_id\": " +
          (focusInside ? std::to_string(GetDlgCtrlID(focus)) : std::string("null")) + ",\n";
  json += "  \"controls\": [";
  bool first = true;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string className = ClassOf(child);
    json += first ? "\n" : ",\n";
    first = false;
    json += "    {\"id\": " + std::to_string(GetDlgCtrlID(child)) +
            ", \"class\": " + JsonString(className) +
            ", \"text\": " + JsonString(WindowText(child)) +
            ", \"style\": " + Number(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)));
    RECT place = {};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    json += ", \"rect\": " + JsonRect(place) + ", \"text_extent\": " + JsonTextExtent(child, hook);
    if (lstrcmpiA(className.c_str(), "Button") == 0) {
      json += ", \"checked\": " + Number(static_cast<DWORD>(Send(child, BM_GETCHECK, 0, 0)));
    }
    json += "}";
  }
  json += "\n  ]\n}\n";
  return json;
}

bool WriteFileText(const char* path, const std::string& text) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

// The dialog once it is on screen: WM_INITDIALOG has filled it and the system has given
// the focus to a control.
HWND WaitForDialog() {
  StartWaiting();
  for (;;) {
    // The first visible window of that title: one still being built, or one of a
    // process on its way out, may be hidden.
    HWND dialog = FindWindowExA(nullptr, nullptr, nullptr, kCaption);
    while (dialog != nullptr && !IsWindowVisible(dialog)) {
      dialog = FindWindowExA(nullptr, dialog, nullptr, kCaption);
    }
    if (dialog != nullptr) {
      // The focus is set just after the window appears; give it a moment, no more.
      const DWORD focusDeadline = GetTickCount() + 2000;
      while (FocusedControl(dialog) == nullptr &&
             static_cast<LONG>(focusDeadline - GetTickCount()) > 0 && TimeLeft()) {
        Sleep(kPollMs);
      }
      return dialog;
    }
    if (!TimeLeft()) return nullptr;
    Sleep(kPollMs);
  }
}

bool WaitUntilGone(HWND dialog) {
  StartWaiting();
  while (IsWindow(dialog)) {
    if (!TimeLeft()) return false;
    Sleep(kPollMs);
  }
  return true;
}

bool SetCheck(HWND dialog, bool ticked) {
  const HWND box = GetDlgItem(dialog, kCheckBoxId);
  if (box == nullptr) return false;
  const LRESULT wanted = ticked ? BST_CHECKED : BST_UNCHECKED;
  // An auto check box may have three states; a few clicks reach any of them.
  for (int click = 0; click < 3; ++click) {
    if (Send(box, BM_GETCHECK, 0, 0) == wanted) return true;
    Send(box, BM_CLICK, 0, 0);
  }
  return Send(box, BM_GETCHECK, 0, 0) == wanted;
}

void Click(HWND dialog, int id) {
  if (const HWND button = GetDlgItem(dialog, id)) Send(button, BM_CLICK, 0, 0);
}

// Posted rather than sent: the key must arrive through the dialog thread's message loop,
// where the dialog manager turns Esc and Enter into commands.
void PressKey(HWND dialog, WPARAM key) {
  HWND target = FocusedControl(dialog);
  if (target == nullptr) target = dialog;
  const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scan) << 16;
  const LPARAM up = down | static_cast<LPARAM>(3) << 30;  // previous state, transition
  PostMessageA(target, WM_KEYDOWN, key, down);
  PostMessageA(target, WM_KEYUP, key, up);
}

int Usage() {
  std::fputs("usage: dialog_driver.exe --out OUT.json [--timeout SECONDS] "
             "[tick|untick|yes|no|esc|enter ...]\n",
             stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = nullptr;
  double timeoutSeconds = 30;
  std::vector<std::string> actions;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg == "--timeout" && i + 1 < argc) {
      char* end = nullptr;
      timeoutSeconds = std::strtod(argv[++i], &end);
      if (*end != '\0' || timeoutSeconds < 0) return Usage();
    } else if (arg == "tick" || arg == "untick" || arg == "yes" || arg == "no" ||
               arg == "esc" || arg == "enter") {
      actions.push_back(arg);
    } else {
      return Usage();
    }
  }
  if (out == nullptr) return Usage();
  SetProcessDPIAware();
  g_timeoutMs = static_cast<DWORD>(timeoutSeconds * 1000);

  const HWND dialog = WaitForDialog();
  if (dialog == nullptr) {
    std::fprintf(stderr, "dialog_driver: no \"%s\" window\n", kCaption);
    return 2;
  }
  if (!WriteFileText(out, Describe(dialog))) {
    std::fprintf(stderr, "dialog_driver: cannot write %s\n", out);
    return 1;
  }

  for (const std::string& action : actions) {
    bool closes = true;
    if (action == "tick" || action == "untick") {
      closes = false;
      if (!SetCheck(dialog, action == "tick")) {
        std::fprintf(stderr, "dialog_driver: the check box did not change (%s)\n",
                     action.c_str());
        return 1;
      }
    } else if (action == "yes") {
      Click(dialog, IDOK);
    } else if (action == "no") {
      Click(dialog, IDCANCEL);
    } else {
      PressKey(dialog, action == "esc" ? VK_ESCAPE : VK_RETURN);
    }
    if (closes && !WaitUntilGone(dialog)) {
      std::fprintf(stderr, "dialog_driver: the window did not close after %s\n",
                   action.c_str());
      return 1;
    }
  }
  return 0;
}
