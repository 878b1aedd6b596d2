// The shell's lookup and start of the program associated with a file, each mirroring the
// function of its name with the same arguments.
#pragma once

#include <cstdint>

#include "platform/window.h"

// The values the browser launch passes and tests; the Windows build checks each one
// against the system headers.
namespace win {
constexpr int kShowNormal = 1;             // SW_SHOWNORMAL
constexpr intptr_t kShellErrorLimit = 32;  // FindExecutableA results up to this are errors
}  // namespace win

class ShellApi {
 public:
  virtual ~ShellApi() = default;
  virtual intptr_t FindExecutableA(const char* file, const char* directory,
                                   char* result) = 0;
  virtual intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                 const char* parameters, const char* directory,
                                 int showCommand) = 0;
};
