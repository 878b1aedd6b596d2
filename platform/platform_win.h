// The platform seam on Windows: each method calls the Windows function of its name.
#pragma once

#include <windows.h>

#include "platform/platform.h"

class Win32Platform : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);

  uint32_t GetModuleFileNameA(char* buffer, uint32_t size) override;
  uint32_t GetTempPathA(uint32_t size, char* buffer) override;
  SystemHandle CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                           uint32_t disposition, uint32_t flagsAndAttributes) override;
  bool DeleteFileA(const char* path) override;

  FileHandle FsOpen(const char* path, const char* mode, int shareFlag) override;
  size_t FRead(void* buffer, size_t size, size_t count, FileHandle file) override;
  size_t FWrite(const void* buffer, size_t size, size_t count, FileHandle file) override;
  int FError(FileHandle file) override;
  int FClose(FileHandle file) override;

  bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) override;
  InternetHandle InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                               const char* proxyBypass, uint32_t flags) override;
  bool InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                          uint32_t length) override;
  InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url,
                                  const char* headers, uint32_t headersLength, uint32_t flags,
                                  uintptr_t context) override;
  bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                        uint32_t* bytesRead) override;
  bool InternetCloseHandle(InternetHandle handle) override;
  DeadlineHandle ArmDeadline(InternetHandle internet, uint32_t milliseconds) override;
  bool DisarmDeadline(DeadlineHandle handle) override;

  uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                    const char* defaultValue, char* buffer, uint32_t size,
                                    const char* fileName) override;
  bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                  const char* fileName) override;

  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override;
  intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                         const char* parameters, const char* directory,
                         int showCommand) override;

  std::unique_ptr<NoticeDialog> CreateNoticeDialog() override;

 private:
  HINSTANCE instance_;
  class FetchDeadline* deadline_ = nullptr;  // armed during a fetch
};
