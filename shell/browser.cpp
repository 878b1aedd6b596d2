#include "shell/browser.h"

namespace {
constexpr const char* kPlaceholderName = "www.htm";
}  // namespace

void DefaultBrowser::Open(WindowHandle owner, const std::string& url) {
  std::string placeholder;
  char browser[kPathBufferSize] = {};
  if (Find(placeholder, browser) <= win::kShellErrorLimit) return;
  shell_.ShellExecuteA(owner, nullptr, browser, url.c_str(), nullptr, win::kShowNormal);
  files_.Delete(placeholder);
}

intptr_t DefaultBrowser::FindProgram(std::string& program) {
  std::string placeholder;
  char found[kPathBufferSize] = {};
  const intptr_t result = Find(placeholder, found);
  if (result > win::kShellErrorLimit) program = found;
  return result;
}

intptr_t DefaultBrowser::Find(std::string& placeholder, char* program) {
  const std::optional<std::string> tempDirectory = files_.TempDirectory();
  if (!tempDirectory) return 0;
  placeholder = *tempDirectory + kPlaceholderName;

  // Creation fails when another process left a "www.htm"; the lookup below then uses
  // that file, which is as good.
  const bool madeHere = files_.CreatePlaceholder(placeholder);

  intptr_t found = shell_.FindExecutableA(placeholder.c_str(), nullptr, program);
  if (found <= win::kShellErrorLimit && !madeHere) {
    // The other process's file goes when that process ends, which may be just before the
    // lookup: then it is looked up once more, with a placeholder of this process's own.
    files_.CreatePlaceholder(placeholder);
    found = shell_.FindExecutableA(placeholder.c_str(), nullptr, program);
  }
  program[kPathBufferSize - 1] = '\0';
  return found;
}
