// A deadline for blocking WinINet calls. Wine's WinINet waits for ever on a server that
// stalls (before its headers or in the middle of the body) and cannot be interrupted,
// not even by closing its handles from another thread. So while a deadline is armed,
// each call runs on a helper thread and the caller waits for it only until the deadline;
// a call still blocked then is abandoned to the helper, which the end of the process
// takes down. Reads ask for no more than is available, so that what arrived before a
// stall has been handed over when the deadline passes.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

class FetchDeadline {
 public:
  FetchDeadline(HINTERNET internet, DWORD milliseconds);

  HINTERNET OpenUrl(HINTERNET internet, const char* url, const char* headers,
                    DWORD headersLength, DWORD flags, DWORD_PTR context);
  BOOL ReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead);

  // Ends the helper and frees the deadline. Returns whether the deadline fired; the
  // Internet handle was then closed.
  static bool Disarm(FetchDeadline* deadline);

 private:
  // One call, as the helper sees it. It lives on the heap so that an abandoned helper
  // never writes into memory the caller has moved on from.
  struct Call {
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
  };

  static DWORD WINAPI HelperMain(void* parameter);
  // Runs `call_` on the helper; false when the deadline passed first.
  bool Run();
  void Fire();

  HINTERNET internet_;
  ULONGLONG due_;
  bool fired_ = false;
  HANDLE helper_ = nullptr;
  HANDLE request_ = nullptr;
  HANDLE done_ = nullptr;
  Call* call_;
};
