// WinINet as Falwick's download uses it, watched: every call goes to the real mirror
// unchanged, and what it answered is kept for falwick-info (run, and check URL on
// Windows): the connectivity flags, the Internet handle and the proxy settings it took,
// and for the URL the HTTP status, the headers, the final URL after redirects, whether
// the answer came from the cache, TLS, the bytes, the time, and the error by number.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "tools/info/fetch/url_fetch.h"
#include "platform/internet_api_win.h"

class WatchedInternetApi final : public Win32InternetApi {
 public:
  const ConnectionSeen& connection() const { return connection_; }
  bool fetchAsked() const { return fetchAsked_; }
  // The URL's fetch as seen so far; the body is the caller's to add (StoreBody).
  const UrlFetch& fetch() const { return fetch_; }

  InternetHandle InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                               const char* proxyBypass, uint32_t flags) override;
  // The real deadline, with the connectivity test, the URL and the reads watched.
  std::unique_ptr<NetworkDeadline> ArmDeadline(uint32_t milliseconds) override;

 private:
  class Deadline;

  ConnectionSeen connection_;
  bool fetchAsked_ = false;
  UrlFetch fetch_;
};

// The WinINet error `error` in `fetch`, with its name, meaning and fix.
void SetError(UrlFetch& fetch, long error);

// Puts the stored download into `fetch`, noting when it filled Falwick's 16 MiB.
void StoreBody(UrlFetch& fetch, std::string body);

// A file of the tool's own in the temporary directory, for a download it makes: deleted
// when this goes.
class ToolTempFile {
 public:
  ToolTempFile() {
    char directory[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof directory, directory);
    char name[MAX_PATH + 1] = {};
    if (length > 0 && length < sizeof directory &&
        GetTempFileNameA(directory, "fwi", 0, name) != 0) {
      path_ = name;
    }
  }
  ~ToolTempFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
  }
  ToolTempFile(const ToolTempFile&) = delete;
  ToolTempFile& operator=(const ToolTempFile&) = delete;
  const std::string& path() const { return path_; }  // empty when none could be made

 private:
  std::string path_;
};
