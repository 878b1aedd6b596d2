// A sample host product for Falwick: what a product that adopts Falwick does, in one
// small window.
//
// At start, once its window is shown, it reads the disable-checking value from its
// settings INI and, unless the value says disabled, starts Falwick.EXE (in its own
// directory) for a check, mode "PU", without waiting for it. The button "Check for updates now" starts an explicit check,
// mode "PX", whatever the setting. The window shows the setting it read and every
// command line it started (or why it started nothing). It opens centred on the primary
// monitor's work area, where Falwick centres its notice: a notice appears in front of
// the window it belongs to.
//
// Configuration: the [Host] section of the INI beside the program that has the
// program's name (SampleHost.exe reads SampleHost.ini), each key optional:
//   Product       Writer
//   InfoUrl       https://www.orvanel.example/updates/writer.txt
//   InfoFile      writer-update.txt
//   Installed     3.0.012
//   SettingsFile  the name of this INI itself (a bare file name beside the program)
//   Section       Options
//   Key           NoUpdateCheck
//   DownloadUrl   https://www.orvanel.example/download/writer.htm
//   UserFolder    (none) a folder under the user's %LOCALAPPDATA%, such as Writer
// Values are read up to 4095 characters; the two URLs are read as Unicode and passed
// percent-encoded (UrlForFalwick). The disable-checking value is read from
// SettingsFile, Section, Key: the same place the command line names for Falwick, which
// stores the user's choice from its notice there.
//
// Without UserFolder, Falwick.EXE and SettingsFile are the ones beside the program: a
// per-user install, in a folder only this user can write. With it (a product installed
// for all users, under Program Files, where the user may write nothing), the host keeps
// each user's own copy of Falwick.EXE and of SettingsFile in that per-user folder, and
// starts Falwick there: it creates the folder, copies Falwick.EXE from its own folder
// when the copy is missing or differs, and copies SettingsFile from its own folder as
// the user's first settings when the user has none (a missing one is left to Falwick).
// The folder lies in the user's profile, which no other user can write. Its path is
// spelled as Falwick spells its own (platform/path_spelling.h): in its short (8.3) form
// when the ANSI code page cannot spell it; when neither can be spelled, nothing is
// copied or started, and the window says why.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "falwick_launch.h"
#include "platform/files_win.h"
#include "platform/path_spelling.h"

namespace {

constexpr int kCheckNowId = 101;
constexpr int kLogId = 102;
constexpr const char* kWindowClass = "FalwickSampleHost";

struct Host {
  std::string directory;  // the program's directory, ending in a backslash
  // Where Falwick.EXE and the settings file are: `directory`, or the per-user folder
  // (UserFolder). Empty when Falwick cannot be started.
  std::string falwickDirectory;
  FalwickRequest request;
  std::string log;  // what the window shows, CR-LF separated
  HWND logWindow = nullptr;
};
Host g_host;

// The profile functions look a bare file name up in the Windows directory: always pass
// a full path.
std::string ReadIni(const std::string& path, const char* section, const char* key,
                    const std::string& fallback) {
  char value[4096] = {};
  GetPrivateProfileStringA(section, key, fallback.c_str(), value, sizeof value, path.c_str());
  return value;
}

// A value as UTF-8, read in Unicode: an INI the host wrote in the ANSI code page reads
// the same.
std::string ReadIniUtf8(const std::string& path, const char* section, const char* key,
                        const char* fallback) {
  const auto wide = [](const std::string& text) {
    std::wstring result(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, result.data(),
                                           static_cast<int>(result.size()));
    result.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    return result;
  };
  wchar_t value[4096] = {};
  GetPrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), wide(fallback).c_str(),
                           value, 4096, wide(path).c_str());
  char utf8[4 * 4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

void AddLine(const std::string& line) {
  g_host.log += line + "\r\n";
  if (g_host.logWindow != nullptr) SetWindowTextA(g_host.logWindow, g_host.log.c_str());
}

void StartFalwick(CheckMode mode) {
  if (g_host.falwickDirectory.empty()) return;  // Configure said why
  const std::string exe = g_host.falwickDirectory + "Falwick.EXE";
  std::string line = FalwickCommandLine(exe, g_host.request, mode);
  if (line.empty()) {
    AddLine("Not started: the product is empty, or a value holds \">\".");
    return;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // The program by its full path, no shell and no handles inherited; the command line
  // starts with the quoted program name, as every Windows program expects.
  if (CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process) == FALSE) {
    AddLine("Could not start " + exe + ": error " + std::to_string(GetLastError()));
    return;
  }
  // Not waited for: the host goes on while Falwick checks, and needs nothing back.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  AddLine("Started: " + line);
}

// The whole of a small file, or false when it cannot be read.
bool ReadWhole(const std::string& path, std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  bool read = GetFileSizeEx(file, &size) != FALSE && size.QuadPart < (64 << 20);
  if (read) {
    content.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    read = content.empty() ||
           (ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &done,
                     nullptr) != FALSE &&
            done == content.size());
  }
  CloseHandle(file);
  return read;
}

// The per-user folder (UserFolder under %LOCALAPPDATA%), made ready: created, with the
// installed Falwick.EXE in it, and the user's settings file when the user had none.
// Returns its path with a final backslash, or "" after saying in the window why not.
std::string PrepareUserFolder(const std::string& folder, const std::string& settingsFile) {
  if (!ValidUserFolder(folder)) {
    AddLine("Not started: UserFolder \"" + folder + "\" is not a folder name under the "
            "user's %LOCALAPPDATA%.");
    return "";
  }
  // The profile's path in UTF-16, as Windows has it, spelled as Falwick spells its own
  // directory: an ANSI function would hand back "?" for what the code page lacks.
  wchar_t base[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                       SHGFP_TYPE_CURRENT, base) != S_OK) {
    AddLine("Not started: Windows gave no %LOCALAPPDATA% folder.");
    return "";
  }
  const SpelledPath spelled =
      SpellForAnsi(Win32PathNames(), std::u16string(reinterpret_cast<const char16_t*>(base)));
  if (spelled.spelling == Spelling::kLossy) {
    AddLine("Not started: the user's %LOCALAPPDATA% folder cannot be spelled in the ANSI "
            "code page and has no short (8.3) name (fsutil 8dot3name query), so Falwick "
            "would find no directory of its own.");
    return "";
  }
  if (spelled.spelling == Spelling::kShort) {
    AddLine("Per-user folder: %LOCALAPPDATA% cannot be spelled in the ANSI code page; its "
            "short name " + spelled.text + " is used, as Falwick would.");
  }
  std::string directory = spelled.text + "\\";
  // Each level in turn; an existing one is fine: under the user's profile only the user
  // (and administrators) can have made it.
  size_t start = 0;
  while (start <= folder.size()) {
    const size_t end = std::min(folder.find('\\', start), folder.size());
    directory += folder.substr(start, end - start) + "\\";
    if (CreateDirectoryA(directory.c_str(), nullptr) == FALSE &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      AddLine("Not started: could not create " + directory + ": error " +
              std::to_string(GetLastError()));
      return "";
    }
    start = end + 1;
  }
  if (directory.size() + 12 >= MAX_PATH) {  // Falwick's directory and a file name
    AddLine("Not started: the per-user folder's path is longer than Falwick can use.");
    return "";
  }

  const std::string installed = g_host.directory + "Falwick.EXE";
  const std::string copy = directory + "Falwick.EXE";
  std::string want;
  std::string have;
  if (!ReadWhole(installed, want)) {
    AddLine("Not started: cannot read " + installed + ".");
    return "";
  }
  if (!ReadWhole(copy, have) || have != want) {
    // Copied under another name, then put in place in one step: a copy cut short is
    // never started, and a Falwick of this user that still runs keeps its file (the
    // replacement then fails, and the old copy runs once more).
    const std::string fresh = directory + "Falwick.EXE.new";
    if (CopyFileA(installed.c_str(), fresh.c_str(), FALSE) == FALSE ||
        MoveFileExA(fresh.c_str(), copy.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
      const DWORD error = GetLastError();
      DeleteFileA(fresh.c_str());
      if (have.empty()) {
        AddLine("Not started: could not copy Falwick.EXE to " + directory + ": error " +
                std::to_string(error));
        return "";
      }
      AddLine("Per-user folder: " + directory + ": Falwick.EXE could not be replaced "
              "(error " + std::to_string(error) + "); the copy there runs.");
    } else {
      AddLine("Per-user folder: " + directory + ": Falwick.EXE copied from " +
              g_host.directory + ".");
    }
  }
  // The user's settings are never overwritten: only a first copy, when the user has
  // none and the install folder has defaults.
  const std::string defaults = g_host.directory + settingsFile;
  const std::string settings = directory + settingsFile;
  if (CopyFileA(defaults.c_str(), settings.c_str(), TRUE) != FALSE) {
    AddLine("Per-user folder: " + settings + " made from " + defaults + ".");
  }
  return directory;
}

// Reads the configuration: what the command line will say.
void Configure() {
  char module[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    AddLine("Not started: the program's own path is longer than Falwick can use.");
    return;
  }
  const std::string path(module, length);
  g_host.directory = DirectoryOf(path);
  std::string ini = path.substr(g_host.directory.size());
  ini = ini.substr(0, ini.rfind('.')) + ".ini";
  const std::string own = g_host.directory + ini;

  FalwickRequest& r = g_host.request;
  r.product = ReadIni(own, "Host", "Product", "Writer");
  const EncodedUrl info =
      UrlForFalwick(ReadIniUtf8(own, "Host", "InfoUrl", "https://www.orvanel.example/updates/writer.txt"));
  r.infoUrl = info.url;
  if (!info.encoded.empty()) {
    AddLine("Info URL: percent-encoded (" + info.encoded + "): " + info.url);
  }
  r.infoFile = ReadIni(own, "Host", "InfoFile", "writer-update.txt");
  r.installed = ReadIni(own, "Host", "Installed", "3.0.012");
  r.settingsFile = ReadIni(own, "Host", "SettingsFile", ini);
  r.section = ReadIni(own, "Host", "Section", "Options");
  r.key = ReadIni(own, "Host", "Key", "NoUpdateCheck");
  const EncodedUrl download = UrlForFalwick(
      ReadIniUtf8(own, "Host", "DownloadUrl", "https://www.orvanel.example/download/writer.htm"));
  r.downloadUrl = download.url;
  if (!download.encoded.empty()) {
    AddLine("Download URL: percent-encoded (" + download.encoded +
            "), so that the browser is given it as one argument: " + download.url);
  }
  const std::string userFolder = ReadIni(own, "Host", "UserFolder", "");
  g_host.falwickDirectory =
      userFolder.empty() ? g_host.directory : PrepareUserFolder(userFolder, r.settingsFile);
}

// Reads the setting, and starts the check unless disabled.
void CheckAtStartUp() {
  if (g_host.falwickDirectory.empty()) return;  // Configure said why
  const FalwickRequest& r = g_host.request;
  const std::string settings = g_host.falwickDirectory + r.settingsFile;
  const std::string value = ReadIni(settings, r.section.c_str(), r.key.c_str(), "0");
  const bool disabled = CheckingDisabled(value);
  AddLine("Setting: [" + r.section + "] " + r.key + " in " + settings + " is \"" + value +
          "\": update checking at start-up is " + (disabled ? "disabled." : "enabled."));
  if (disabled) {
    AddLine("Not started at start-up: the user disabled it.");
  } else {
    StartFalwick(CheckMode::kStartUp);
  }
}

void Layout(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  const int margin = 10;
  const int buttonHeight = 28;
  MoveWindow(GetDlgItem(window, kLogId), margin, margin, client.right - 2 * margin,
             client.bottom - buttonHeight - 3 * margin, TRUE);
  MoveWindow(GetDlgItem(window, kCheckNowId), margin, client.bottom - buttonHeight - margin,
             200, buttonHeight, TRUE);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HINSTANCE instance = GetModuleHandleA(nullptr);
      g_host.logWindow = CreateWindowExA(
          WS_EX_CLIENTEDGE, "EDIT", g_host.log.c_str(),
          WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0,
          0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLogId)), instance,
          nullptr);
      HWND button = CreateWindowExA(
          0, "BUTTON", "&Check for updates now",
          WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0, window,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckNowId)), instance, nullptr);
      const WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
      SendMessageA(g_host.logWindow, WM_SETFONT, font, FALSE);
      SendMessageA(button, WM_SETFONT, font, FALSE);
      SetFocus(button);
      Layout(window);
      return 0;
    }
    case WM_SIZE:
      Layout(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kCheckNowId && HIWORD(wParam) == BN_CLICKED) {
        StartFalwick(CheckMode::kExplicit);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int show) {
  Configure();

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassA(&windowClass) == 0) return 1;
  const std::string caption =
      g_host.request.product + " " + g_host.request.installed + " (a sample host for Falwick)";
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const int width = 760;
  const int height = 420;
  HWND window = CreateWindowExA(0, kWindowClass, caption.c_str(), WS_OVERLAPPEDWINDOW,
                                area.left + (area.right - area.left - width) / 2,
                                area.top + (area.bottom - area.top - height) / 2, width,
                                height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  // The check starts once the window is up, so that the notice, which comes later, is in
  // front of it; and Windows lets a program started by the foreground window put its
  // own window in the foreground. It runs before the message loop: a click on the
  // button is handled after it.
  CheckAtStartUp();

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message) == FALSE) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return 0;
}
