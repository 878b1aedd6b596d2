// The platform seam: every call the program makes into Windows goes through this
// interface. Each method mirrors one Windows (or run-time library) function with the
// same arguments, minus those the program always passes as null; the Windows
// implementation forwards them one to one. Native tests substitute a fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class NoticeDialog;

using InternetHandle = void*;  // HINTERNET
using FileHandle = void*;      // FILE* of the run-time library
using SystemHandle = void*;    // HANDLE from CreateFileA; INVALID_HANDLE_VALUE on failure
using WindowHandle = void*;    // HWND
using DeadlineHandle = void*;  // an armed fetch deadline

class Platform {
 public:
  virtual ~Platform() = default;

  // Module and files. GetModuleFileNameA asks for the program's own module.
  virtual uint32_t GetModuleFileNameA(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetTempPathA(uint32_t size, char* buffer) = 0;
  // Security attributes and template file are always none.
  virtual SystemHandle CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                                   uint32_t disposition, uint32_t flagsAndAttributes) = 0;
  virtual bool DeleteFileA(const char* path) = 0;

  // Run-time library stream I/O (_fsopen, fread, fwrite, ferror, fclose). Streams are
  // unbuffered by the library: the program does its own buffering.
  virtual FileHandle FsOpen(const char* path, const char* mode, int shareFlag) = 0;
  virtual size_t FRead(void* buffer, size_t size, size_t count, FileHandle file) = 0;
  virtual size_t FWrite(const void* buffer, size_t size, size_t count, FileHandle file) = 0;
  virtual int FError(FileHandle file) = 0;
  virtual int FClose(FileHandle file) = 0;

  // WinINet.
  virtual bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) = 0;
  virtual InternetHandle InternetOpenA(const char* agent, uint32_t accessType,
                                       const char* proxy, const char* proxyBypass,
                                       uint32_t flags) = 0;
  virtual bool InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                                  uint32_t length) = 0;
  virtual InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url,
                                          const char* headers, uint32_t headersLength,
                                          uint32_t flags, uintptr_t context) = 0;
  virtual bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                                uint32_t* bytesRead) = 0;
  virtual bool InternetCloseHandle(InternetHandle handle) = 0;

  // A deadline for a download. From ArmDeadline until DisarmDeadline, InternetOpenUrlA
  // and InternetReadFile fail once `milliseconds` have passed, even when the server
  // stalls and the platform's own call stays blocked; `internet` is then closed, and
  // every handle opened from it with it. Disarm reports whether the deadline fired.
  virtual DeadlineHandle ArmDeadline(InternetHandle internet, uint32_t milliseconds) = 0;
  virtual bool DisarmDeadline(DeadlineHandle deadline) = 0;

  // Profile (INI) files.
  virtual uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                            const char* defaultValue, char* buffer,
                                            uint32_t size, const char* fileName) = 0;
  virtual bool WritePrivateProfileStringA(const char* section, const char* key,
                                          const char* value, const char* fileName) = 0;

  // Shell.
  virtual intptr_t FindExecutableA(const char* file, const char* directory,
                                   char* result) = 0;
  virtual intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                 const char* parameters, const char* directory,
                                 int showCommand) = 0;

  // The notice dialog: constructed here (which loads its icon), run by the caller.
  virtual std::unique_ptr<NoticeDialog> CreateNoticeDialog() = 0;
};
