// The network deadline on Windows. WinINet can block for ever: Wine's on a server that
// stalls before its headers or in the middle of the body, and some Windows 10 releases
// inside InternetGetConnectedState itself. Neither can be interrupted safely: Windows
// documents closing a handle only when no call is using it, and Wine's blocked calls
// ignore the close anyway. So each call runs on a helper thread and the caller waits for
// it only until the deadline. A call still blocked then is abandoned to the helper
// together with every handle it may be using: nothing closes them, nothing calls WinINet
// through them again, and the helper, its events and the call's memory are left to the
// end of the process. Reads ask for no more than is available, so that what arrived
// before a stall has been handed over when the deadline passes. A call made on the
// helper leaves its last error (GetLastError) to the caller's thread, as a direct call
// would.
//
// The end of a process with an abandoned call: returning from WinMain calls ExitProcess,
// which first kills the helper wherever it is - possibly holding WinINet's locks - and
// then runs every DLL's detach code, WinINet's included. Microsoft documents that this
// deadlocks when detach code takes a lock a killed thread held, and that
// TerminateProcess, which runs no detach code, is then the better end. So such a
// process ends through EndProcessIfAbandoned. Nothing of the run is lost by it: the
// settings value is in the file when WritePrivateProfileStringA returns (only Windows 95
// cached profile writes), the browser is a process of its own, and the kernel closes every handle
// as at any end, so the browser lookup's delete-on-close placeholder is deleted as usual.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "platform/internet_api.h"

// The WinINet functions the helper calls: WinINet's own (Win32InternetApi), or stand-ins
// in a test program.
struct WinInetCalls {
  BOOL(WINAPI* getConnectedState)(LPDWORD flags, DWORD reserved);
  HINTERNET(WINAPI* openUrl)(HINTERNET internet, LPCSTR url, LPCSTR headers,
                             DWORD headersLength, DWORD flags, DWORD_PTR context);
  BOOL(WINAPI* queryDataAvailable)(HINTERNET file, LPDWORD available, DWORD flags,
                                   DWORD_PTR context);
  BOOL(WINAPI* readFile)(HINTERNET file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead);
};

class HelperThreadDeadline final : public NetworkDeadline {
 public:
  HelperThreadDeadline(DWORD milliseconds, const WinInetCalls& calls);
  // Ends the helper, unless the deadline fired: a helper blocked for good still holds
  // the call and the events, so they are left to the end of the process with it.
  ~HelperThreadDeadline() override;
  HelperThreadDeadline(const HelperThreadDeadline&) = delete;
  HelperThreadDeadline& operator=(const HelperThreadDeadline&) = delete;

  bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) override;
  InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url, const char* headers,
                                  uint32_t headersLength, uint32_t flags,
                                  uintptr_t context) override;
  bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                        uint32_t* bytesRead) override;
  bool Fired() const override { return fired_; }

  // Whether any deadline of this process has abandoned a call.
  static bool AnyAbandoned() { return abandoned_; }

 private:
  struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
  };
  using OwnedHandle = std::unique_ptr<void, HandleCloser>;

  // What the caller and the helper share: the two events and one call. It lives on the
  // heap, apart from the deadline, so that an abandoned helper never touches memory the
  // caller has moved on from.
  struct Shared {
    WinInetCalls calls;
    OwnedHandle request;  // the caller has placed a call
    OwnedHandle done;     // the helper has made it
    enum class Kind { kStop, kConnectedState, kOpenUrl, kRead } kind = Kind::kStop;
    HINTERNET handle = nullptr;
    std::string url;
    std::string headers;
    bool hasHeaders = false;
    DWORD flags = 0;  // of the call; the connectivity test's answer
    DWORD_PTR context = 0;
    std::string buffer;
    DWORD bytesRead = 0;
    BOOL ok = FALSE;
    HINTERNET result = nullptr;
    DWORD error = 0;  // the helper's last error after the call
  };

  static DWORD WINAPI HelperMain(void* parameter);
  // Runs the shared call on the helper; false when the deadline passed first.
  bool Run();
  // After the deadline has fired: sets the time-out error and is true, so that the call
  // returns at once, touching nothing the abandoned call may still be using.
  bool TimedOut() const;
  void Fire();

  static bool abandoned_;
  ULONGLONG due_;
  bool fired_ = false;
  std::unique_ptr<Shared> shared_;
  OwnedHandle helper_;
};

// When a call has been abandoned, ends the process at once with `exitCode` by
// TerminateProcess, running no DLL's detach code; otherwise returns, and the process
// ends as usual. Call it when the run is done.
void EndProcessIfAbandoned(UINT exitCode);
