// WinINet as the download uses it. Each method mirrors the function of its name, with
// the same arguments. The three calls that can wait on the network or on WinINet itself
// - the connectivity test, opening a URL and reading its body - are made only through a
// NetworkDeadline, so that neither a stalling server nor a WinINet that hangs can hold
// the program.
#pragma once

#include <cstdint>
#include <memory>

using InternetHandle = void*;  // HINTERNET

// The WinINet values the download passes; the Windows build checks each one against the
// system headers.
namespace win {
constexpr uint32_t kConnectionModem = 0x01;  // INTERNET_CONNECTION_MODEM
constexpr uint32_t kConnectionLan = 0x02;    // INTERNET_CONNECTION_LAN
constexpr uint32_t kOpenTypePreconfig = 0;   // INTERNET_OPEN_TYPE_PRECONFIG
constexpr uint32_t kFlagExistingConnect = 0x20000000;
constexpr uint32_t kOptionConnectTimeout = 2;
constexpr uint32_t kOptionSendTimeout = 5;
constexpr uint32_t kOptionReceiveTimeout = 6;
}  // namespace win

// One deadline over the network part of a run: the connectivity test and the fetch. The
// calls made through it fail once it has passed, even when the platform's own call
// stays blocked: that call is abandoned, still running, and nothing it may be using is
// touched again. So once the deadline has fired no handle may be used or closed any
// more; the process ends with them open (see the platform's implementation for how).
// Destroying it ends the deadline.
class NetworkDeadline {
 public:
  virtual ~NetworkDeadline() = default;
  virtual bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) = 0;
  virtual InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url,
                                          const char* headers, uint32_t headersLength,
                                          uint32_t flags, uintptr_t context) = 0;
  virtual bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                                uint32_t* bytesRead) = 0;
  // Whether the deadline passed during one of the calls above (which then failed).
  virtual bool Fired() const = 0;
};

class InternetApi {
 public:
  virtual ~InternetApi() = default;
  virtual InternetHandle InternetOpenA(const char* agent, uint32_t accessType,
                                       const char* proxy, const char* proxyBypass,
                                       uint32_t flags) = 0;
  virtual bool InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                                  uint32_t length) = 0;
  virtual bool InternetCloseHandle(InternetHandle handle) = 0;
  // A deadline `milliseconds` from now, for the calls that wait.
  virtual std::unique_ptr<NetworkDeadline> ArmDeadline(uint32_t milliseconds) = 0;
};
