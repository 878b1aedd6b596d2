#include "platform/internet_api_win.h"

#include <windows.h>
#include <wininet.h>

#include "platform/deadline_win.h"

static_assert(win::kConnectionModem == INTERNET_CONNECTION_MODEM);
static_assert(win::kConnectionLan == INTERNET_CONNECTION_LAN);
static_assert(win::kOpenTypePreconfig == INTERNET_OPEN_TYPE_PRECONFIG);
static_assert(win::kFlagExistingConnect == INTERNET_FLAG_EXISTING_CONNECT);
static_assert(win::kOptionConnectTimeout == INTERNET_OPTION_CONNECT_TIMEOUT);
static_assert(win::kOptionSendTimeout == INTERNET_OPTION_SEND_TIMEOUT);
static_assert(win::kOptionReceiveTimeout == INTERNET_OPTION_RECEIVE_TIMEOUT);

InternetHandle Win32InternetApi::InternetOpenA(const char* agent, uint32_t accessType,
                                               const char* proxy, const char* proxyBypass,
                                               uint32_t flags) {
  return ::InternetOpenA(agent, accessType, proxy, proxyBypass, flags);
}

bool Win32InternetApi::InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                                          uint32_t length) {
  return ::InternetSetOptionA(handle, option, buffer, length) != FALSE;
}

bool Win32InternetApi::InternetCloseHandle(InternetHandle handle) {
  return ::InternetCloseHandle(handle) != FALSE;
}

std::unique_ptr<NetworkDeadline> Win32InternetApi::ArmDeadline(uint32_t milliseconds) {
  const WinInetCalls wininet = {::InternetGetConnectedState, ::InternetOpenUrlA,
                                ::InternetQueryDataAvailable, ::InternetReadFile};
  return std::make_unique<HelperThreadDeadline>(milliseconds, wininet);
}
