// The Windows calls of the browser launch: the placeholder file in the temporary
// directory, and the shell's lookup and start of the program associated with it. Each
// method mirrors the function of its name, with the same arguments minus those that are
// always none (CreateFileA's security attributes and template file).
#pragma once

#include <cstdint>

#include "platform/window.h"

using SystemHandle = void*;  // HANDLE from CreateFileA

// The values the browser launch passes and tests; the Windows build checks each one
// against the system headers.
namespace win {
constexpr intptr_t kInvalidHandle = -1;  // INVALID_HANDLE_VALUE, as a number
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kFileAttributeArchive = 0x00000020;
constexpr uint32_t kFileFlagDeleteOnClose = 0x04000000;
constexpr int kShowNormal = 1;             // SW_SHOWNORMAL
constexpr intptr_t kShellErrorLimit = 32;  // FindExecutableA results up to this are errors
}  // namespace win

class ShellApi {
 public:
  virtual ~ShellApi() = default;
  virtual uint32_t GetTempPathA(uint32_t size, char* buffer) = 0;
  virtual SystemHandle CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                                   uint32_t disposition, uint32_t flagsAndAttributes) = 0;
  virtual intptr_t FindExecutableA(const char* file, const char* directory,
                                   char* result) = 0;
  virtual intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                 const char* parameters, const char* directory,
                                 int showCommand) = 0;
  virtual bool DeleteFileA(const char* path) = 0;
};
