// WinINet itself: each call forwards to the function of its name; the deadline runs the
// calls that wait on a helper thread (platform/deadline_win.h).
#pragma once

#include "platform/internet_api.h"

class Win32InternetApi : public InternetApi {
 public:
  InternetHandle InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                               const char* proxyBypass, uint32_t flags) override;
  bool InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                          uint32_t length) override;
  bool InternetCloseHandle(InternetHandle handle) override;
  std::unique_ptr<NetworkDeadline> ArmDeadline(uint32_t milliseconds) override;
};
