// Opening a web page in the user's browser.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/shell_api.h"
#include "platform/window.h"

// The browser as the run flow uses it.
class Browser {
 public:
  virtual ~Browser() = default;
  // Opens `url`, given to the browser unchanged, with `owner` as the owner window.
  virtual void Open(WindowHandle owner, const std::string& url) = 0;
};

// The default browser: the program associated with ".htm" files, started with the URL as
// its command line. The association is found through an empty placeholder "www.htm" in
// the user's temporary directory, created with delete-on-close and deliberately left
// open: the file disappears when the process ends. Nothing happens, silently, when the
// temporary directory cannot be had, or when no program is associated with ".htm".
class DefaultBrowser final : public Browser {
 public:
  DefaultBrowser(Files& files, ShellApi& shell) : files_(files), shell_(shell) {}
  void Open(WindowHandle owner, const std::string& url) override;

  // The lookup alone, as Open makes it: FindExecutableA's result (above 32 when a program
  // was found; 0 without a temporary directory), and the program in `program`.
  intptr_t FindProgram(std::string& program);

 private:
  static constexpr uint32_t kPathBufferSize = 260;
  // The lookup, with the placeholder it used in `placeholder` and the program in
  // `program`, of kPathBufferSize characters.
  intptr_t Find(std::string& placeholder, char* program);

  Files& files_;
  ShellApi& shell_;
};
