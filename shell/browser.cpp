#include "shell/browser.h"

namespace {
constexpr uint32_t kPathBufferSize = 260;
constexpr const char* kPlaceholderName = "www.htm";
}  // namespace

void DefaultBrowser::Open(WindowHandle owner, const std::string& url) {
  char tempDirectory[kPathBufferSize];
  const uint32_t length = files_.TempPath(tempDirectory, kPathBufferSize);
  // 0 is a failure; a larger result is the size the path would need.
  if (length == 0 || length >= kPathBufferSize) return;
  const std::string placeholder = std::string(tempDirectory, length) + kPlaceholderName;

  // Creation fails when another process left a "www.htm"; the lookup below then uses
  // that file, which is as good.
  const bool madeHere = files_.CreatePlaceholder(placeholder);

  char browser[kPathBufferSize] = {};
  intptr_t found = shell_.FindExecutableA(placeholder.c_str(), nullptr, browser);
  if (found <= win::kShellErrorLimit && !madeHere) {
    // The other process's file goes when that process ends, which may be just before the
    // lookup: then it is looked up once more, with a placeholder of this process's own.
    files_.CreatePlaceholder(placeholder);
    found = shell_.FindExecutableA(placeholder.c_str(), nullptr, browser);
  }
  if (found <= win::kShellErrorLimit) return;
  browser[kPathBufferSize - 1] = '\0';
  shell_.ShellExecuteA(owner, nullptr, browser, url.c_str(), nullptr, win::kShowNormal);
  files_.Delete(placeholder);
}
