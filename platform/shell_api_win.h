// The browser launch's calls on Windows: each forwards to the function of its name.
#pragma once

#include "platform/shell_api.h"

class Win32ShellApi final : public ShellApi {
 public:
  uint32_t GetTempPathA(uint32_t size, char* buffer) override;
  SystemHandle CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                           uint32_t disposition, uint32_t flagsAndAttributes) override;
  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override;
  intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                         const char* parameters, const char* directory,
                         int showCommand) override;
  bool DeleteFileA(const char* path) override;
};
