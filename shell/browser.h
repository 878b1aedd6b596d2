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

 private:
  Files& files_;
  ShellApi& shell_;
};
