// Falwick's download and its real network deadline (the helper thread), with WinINet's
// three waiting calls replaced by stand-ins of which one never returns, to show under
// Wine what no server can make Windows do on demand: a connectivity test, an open or a
// read that blocks for ever.
//
//   deadline_probe CALL INFO_FILE MILLISECONDS [exit-normally]
//
// CALL is the call that blocks: connectivity, open, read (the second read; the first
// hands over a line), or none; or late-calls: an open through the deadline blocks, and
// once the deadline has fired another open, a read and a connectivity test are made
// through it, which must fail at once and leave the blocked call's URL as it was. The download runs as in a Falwick run (Connect, Fetch,
// Close) with the deadline it asks for shortened to MILLISECONDS; then the program ends
// as Falwick does (EndProcessIfAbandoned, exit code 0). The blocked call holds a lock
// that a clean-up at the end of the process takes, as WinINet's detach code may take a
// lock its own blocked call holds: an ordinary end (with exit-normally, to show that the
// test can fail) then never comes.
//
// It prints what it recorded, one "name: value" a line, before it ends: the deadline
// the download asked for, what Connect and Fetch answered, the bytes stored, every
// InternetCloseHandle by handle, any close of a handle that the blocked call was using
// or that was closed before, and whether the blocked call was still inside at the end.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/deadline_win.h"
#include "platform/files_win.h"
#include "update/download.h"

namespace {

const auto kInternet = reinterpret_cast<HINTERNET>(0x100);
const auto kUrl = reinterpret_cast<HINTERNET>(0x200);
constexpr char kFirstLine[] = "VERSION=9\r\n";

std::string blocking;            // which call never returns
std::atomic<int> reads{0};
std::atomic<bool> blockedInside{false};
std::atomic<HINTERNET> inUse[2];  // the handles the blocked call was given
CRITICAL_SECTION wininetLock;    // stands for a lock of WinINet's, held while blocked
std::string closes;
std::string faults;
const char* blockedUrl = "";  // the URL text the blocked open was given

std::string Hex(const void* value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(value)));
  return text;
}

// The call that never returns: it takes the lock, notes its handles, and waits for ever.
void BlockForEver(HINTERNET first, HINTERNET second) {
  EnterCriticalSection(&wininetLock);
  inUse[0] = first;
  inUse[1] = second;
  blockedInside = true;
  Sleep(INFINITE);
}

BOOL WINAPI StandInConnectedState(LPDWORD flags, DWORD) {
  if (blocking == "connectivity") BlockForEver(nullptr, nullptr);
  *flags = 0x12;
  return TRUE;
}

HINTERNET WINAPI StandInOpenUrl(HINTERNET internet, LPCSTR url, LPCSTR, DWORD, DWORD,
                                DWORD_PTR) {
  if (blocking == "open") {
    blockedUrl = url;
    BlockForEver(internet, nullptr);
  }
  return kUrl;
}

BOOL WINAPI StandInDataAvailable(HINTERNET, LPDWORD available, DWORD, DWORD_PTR) {
  *available = reads == 0 ? sizeof kFirstLine - 1 : 0;
  return TRUE;
}

BOOL WINAPI StandInRead(HINTERNET file, LPVOID buffer, DWORD size, LPDWORD read) {
  *read = 0;
  if (reads++ == 0) {
    *read = sizeof kFirstLine - 1 < size ? sizeof kFirstLine - 1 : size;
    std::memcpy(buffer, kFirstLine, *read);
    return TRUE;
  }
  if (blocking == "read") BlockForEver(file, kInternet);
  return TRUE;  // the end of the body
}

// WinINet's calls that do not wait, recorded; the waiting ones through the real deadline
// with the stand-ins above.
class ProbeInternet final : public InternetApi {
 public:
  explicit ProbeInternet(DWORD milliseconds) : milliseconds_(milliseconds) {}
  uint32_t asked = 0;

  InternetHandle InternetOpenA(const char*, uint32_t, const char*, const char*,
                               uint32_t) override {
    return kInternet;
  }
  bool InternetSetOptionA(InternetHandle, uint32_t, void*, uint32_t) override { return true; }
  bool InternetCloseHandle(InternetHandle handle) override {
    const std::string name = Hex(handle);
    if (handle == inUse[0] || handle == inUse[1]) faults += " closed-while-in-use:" + name;
    if (closes.find(name) != std::string::npos) faults += " closed-twice:" + name;
    closes += " " + name;
    return true;
  }
  std::unique_ptr<NetworkDeadline> ArmDeadline(uint32_t milliseconds) override {
    asked = milliseconds;
    const WinInetCalls standIns = {StandInConnectedState, StandInOpenUrl, StandInDataAvailable,
                                   StandInRead};
    return std::make_unique<HelperThreadDeadline>(milliseconds_, standIns);
  }

 private:
  DWORD milliseconds_;
};

// A clean-up at the end of the process that needs the lock the blocked call holds.
void TakeTheLockAtExit() {
  EnterCriticalSection(&wininetLock);
  LeaveCriticalSection(&wininetLock);
}

// The deadline's calls after it has fired, with the abandoned open still inside.
void LateCalls(ProbeInternet& internet, DWORD milliseconds) {
  blocking = "open";
  const std::unique_ptr<NetworkDeadline> deadline = internet.ArmDeadline(milliseconds);
  (void)deadline->InternetOpenUrlA(kInternet, "http://127.0.0.1:9/info.txt", nullptr, 0, 0, 0);
  const ULONGLONG start = GetTickCount64();
  std::string errors;
  (void)deadline->InternetOpenUrlA(kInternet, "http://127.0.0.1:9/another/and/longer/url.txt",
                                   nullptr, 0, 0, 0);
  errors += " " + std::to_string(GetLastError());
  char buffer[64];
  uint32_t read = 0;
  (void)deadline->InternetReadFile(kUrl, buffer, sizeof buffer, &read);
  errors += " " + std::to_string(GetLastError());
  uint32_t flags = 0;
  (void)deadline->InternetGetConnectedState(&flags, 0);
  errors += " " + std::to_string(GetLastError());
  std::printf("late calls took: %llu ms\nlate errors:%s\n", GetTickCount64() - start,
              errors.c_str());
  std::printf("blocked url: %s\n", blockedUrl);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: deadline_probe CALL INFO_FILE MILLISECONDS [exit-normally]\n");
    return 2;
  }
  blocking = argv[1];
  const std::string path = argv[2];
  const auto milliseconds = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
  const bool exitNormally = argc > 4 && std::strcmp(argv[4], "exit-normally") == 0;
  InitializeCriticalSection(&wininetLock);
  std::atexit(TakeTheLockAtExit);

  ProbeInternet internet(milliseconds);
  if (blocking == "late-calls") {
    LateCalls(internet, milliseconds);
    EndProcessIfAbandoned(0);
  }
  Win32Files files;
  bool connected = false;
  bool opened = false;
  {
    DownloadUpdateInfo download(internet, files);
    connected = download.Connect();
    if (connected) opened = download.Fetch("http://127.0.0.1:9/info.txt", path);
    download.Close();
  }
  long long stored = -1;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fseek(file, 0, SEEK_END);
    stored = std::ftell(file);
    std::fclose(file);
  }
  std::printf("deadline asked: %u\n", static_cast<unsigned>(internet.asked));
  std::printf("connected: %s\nopened: %s\nstored: %lld\n", connected ? "yes" : "no",
              opened ? "yes" : "no", stored);
  std::printf("closed:%s\nfaults:%s\n", closes.c_str(), faults.c_str());
  std::printf("blocked call inside at the end: %s\n", blockedInside ? "yes" : "no");
  std::fflush(stdout);

  if (!exitNormally) EndProcessIfAbandoned(0);
  return 0;
}
