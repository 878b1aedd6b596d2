// The shell calls on Windows: each forwards to the function of its name.
#pragma once

#include "platform/shell_api.h"

class Win32ShellApi : public ShellApi {
 public:
  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override;
  intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                         const char* parameters, const char* directory,
                         int showCommand) override;
};
