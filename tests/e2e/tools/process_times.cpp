// Tells when processes of the named programs began and ended, as Windows reports it of
// each process (GetProcessTimes), and when each first showed a window of a given
// caption, for the end-to-end tests' time bounds: a bound of a program's own counts from
// its own start, not from the start of whatever launched it.
//
//   process_times.exe OUT.txt [--window CAPTION] NAME...
//
// Looks every 100 ms (each look costs the wineserver a few milliseconds) for processes
// whose program file is called NAME (any case), and appends a line to OUT.txt (a Windows
// path) for each process found:
//   began PID SECONDS PATH
// when it first shows a visible top-level window titled exactly CAPTION:
//   shown PID SECONDS
// and once it has ended:
//   ended PID SECONDS CODE
// SECONDS is the creation time, the time of the look that saw the window, or the exit
// time, in seconds since 1970 (UTC); PATH the program's full path in UTF-8; CODE its exit
// code. A process or window that comes and goes between two looks is not seen: the
// bounds are those of processes that live for seconds. A look that took over half a
// second adds "slow SECONDS DURATION". Runs until it is ended; exit
// status 1 for a bad command line or an output file that cannot be written.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kPollMs = 100;

double UnixSeconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7 - 11644473600.0;  // from 1601
}

double Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return UnixSeconds(now);
}

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

struct Watched {
  HANDLE process;
  bool shown = false;
};

class Watcher {
 public:
  Watcher(FILE* out, std::vector<std::wstring> names, const wchar_t* caption)
      : out_(out), names_(std::move(names)), caption_(caption) {}

  // One look: new processes, windows shown, processes ended.
  bool Look() {
    FindNewProcesses();
    if (caption_ != nullptr) FindWindows();
    FindEnded();
    return std::fflush(out_) == 0;
  }

 private:
  bool Named(const wchar_t* file) const {
    for (const std::wstring& name : names_) {
      if (_wcsicmp(file, name.c_str()) == 0) return true;
    }
    return false;
  }

  void FindNewProcesses() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
      if (Named(entry.szExeFile) && running_.count(entry.th32ProcessID) == 0) {
        Open(entry.th32ProcessID);
      }
    }
    CloseHandle(snapshot);
  }

  void Open(DWORD id) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
    if (process == nullptr) return;  // ended meanwhile
    FILETIME created, exited, kernel, user;
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = sizeof path / sizeof path[0];
    // A process still being made may have no creation time yet (Wine then answers a
    // pattern of 0x55 bytes): it is looked at again next time.
    const bool told = GetProcessTimes(process, &created, &exited, &kernel, &user) &&
                      UnixSeconds(created) > 0 && UnixSeconds(created) <= Now();
    if (!told || !QueryFullProcessImageNameW(process, 0, path, &length) ||
        !seen_.insert({id, UnixSeconds(created)}).second) {
      CloseHandle(process);
      return;
    }
    running_[id] = Watched{process};
    std::fprintf(out_, "began %lu %.6f %s\n", id, UnixSeconds(created), Utf8(path).c_str());
  }

  // One snapshot of the top-level windows (EnumWindows): a FindWindowEx walk that goes on
  // after the window found last misses windows the dialog driver moves above it meanwhile.
  void FindWindows() {
    EnumWindows(
        [](HWND window, LPARAM self) -> BOOL {
          reinterpret_cast<Watcher*>(self)->LookAt(window);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
  }

  void LookAt(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const auto found = running_.find(id);
    if (found == running_.end() || found->second.shown || !IsWindowVisible(window)) return;
    wchar_t title[256] = {};
    GetWindowTextW(window, title, sizeof title / sizeof title[0]);
    if (wcscmp(title, caption_) != 0) return;
    found->second.shown = true;
    std::fprintf(out_, "shown %lu %.6f\n", id, Now());
  }

  void FindEnded() {
    for (auto it = running_.begin(); it != running_.end();) {
      FILETIME created, exited, kernel, user;
      DWORD code = 0;
      if (WaitForSingleObject(it->second.process, 0) != WAIT_OBJECT_0 ||
          !GetProcessTimes(it->second.process, &created, &exited, &kernel, &user)) {
        ++it;
        continue;
      }
      GetExitCodeProcess(it->second.process, &code);
      std::fprintf(out_, "ended %lu %.6f %lu\n", it->first, UnixSeconds(exited), code);
      CloseHandle(it->second.process);
      it = running_.erase(it);
    }
  }

  FILE* out_;
  std::vector<std::wstring> names_;
  const wchar_t* caption_;
  std::map<DWORD, Watched> running_;  // by process id
  // Each process found, by id and creation time: an id used again is a new process.
  std::set<std::pair<DWORD, double>> seen_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 2;
  const wchar_t* caption = nullptr;
  if (argc > 3 && wcscmp(argv[2], L"--window") == 0) {
    caption = argv[3];
    first = 4;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: process_times OUT.txt [--window CAPTION] NAME...\n");
    return 1;
  }
  FILE* out = _wfopen(argv[1], L"ab");
  if (out == nullptr) return 1;
  Watcher watcher(out, std::vector<std::wstring>(argv + first, argv + argc), caption);
  // A look that takes long is said (the bounds' "shown" is only as good as the looks).
  for (;;) {
    const ULONGLONG start = GetTickCount64();
    if (!watcher.Look()) break;
    const ULONGLONG took = GetTickCount64() - start;
    if (took > 500) {
      std::fprintf(out, "slow %.6f %.3f\n", Now(), static_cast<double>(took) / 1000);
      std::fflush(out);
    }
    Sleep(kPollMs);
  }
  return 1;
}
