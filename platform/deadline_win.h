// The fetch deadline on Windows. Wine's WinINet waits for ever on a server that stalls
// (before its headers or in the middle of the body) and cannot be interrupted, not even
// by closing its handles from another thread. So each call runs on a helper thread and
// the caller waits for it only until the deadline; a call still blocked then is
// abandoned to the helper, which the end of the process takes down. Reads ask for no
// more than is available, so that what arrived before a stall has been handed over when
// the deadline passes. A call made on the helper leaves its last error (GetLastError) to
// the caller's thread, as a direct call would.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "platform/internet_api.h"

class HelperThreadDeadline final : public FetchDeadline {
 public:
  HelperThreadDeadline(HINTERNET internet, DWORD milliseconds);
  // Ends the helper, unless the deadline fired: a helper blocked for good still holds
  // the call and the events, so they are left to the end of the process with it.
  ~HelperThreadDeadline() override;
  HelperThreadDeadline(const HelperThreadDeadline&) = delete;
  HelperThreadDeadline& operator=(const HelperThreadDeadline&) = delete;

  InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url, const char* headers,
                                  uint32_t headersLength, uint32_t flags,
                                  uintptr_t context) override;
  bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                        uint32_t* bytesRead) override;
  bool Fired() const override { return fired_; }

 private:
  struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
  };
  using OwnedHandle = std::unique_ptr<void, HandleCloser>;

  // What the caller and the helper share: the two events and one call. It lives on the
  // heap, apart from the deadline, so that an abandoned helper never touches memory the
  // caller has moved on from.
  struct Shared {
    OwnedHandle request;  // the caller has placed a call
    OwnedHandle done;     // the helper has made it
    enum class Kind { kStop, kOpenUrl, kRead } kind = Kind::kStop;
    HINTERNET handle = nullptr;
    std::string url;
    std::string headers;
    bool hasHeaders = false;
    DWORD flags = 0;
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
  void Fire();

  HINTERNET internet_;
  ULONGLONG due_;
  bool fired_ = false;
  std::unique_ptr<Shared> shared_;
  OwnedHandle helper_;
};
