// FetchUrl for the Windows build: Falwick's own download (DownloadUpdateInfo) over the
// real WinINet, watched, so that the proxy, the cache and the trusted certificates are
// the user's, exactly as when Falwick fetches the file. The body goes to a temporary file
// of the tool's own and is read back.
#include <windows.h>
#include <wininet.h>

#include "platform/files_win.h"
#include "tools/info/fetch/fetch_report.h"
#include "tools/info/fetch/url_fetch.h"
#include "tools/info/fetch/watched_internet_win.h"
#include "tools/info/file/file_bytes.h"
#include "update/download.h"

UrlFetch FetchUrl(const std::string& url, const std::string& /*caFile*/) {
  WatchedInternetApi internet;
  Win32Files files;
  const ToolTempFile body;
  DownloadUpdateInfo download(internet, files);

  UrlFetch fetch;
  fetch.url = url;
  if (body.path().empty()) {
    fetch.errorText = "no temporary file for the download could be created";
    return fetch;
  }
  if (!download.Connect()) {
    const ConnectionSeen& seen = internet.connection();
    const ConnectResult result = download.Connection();
    if (result == ConnectResult::kNoInternetHandle) {
      SetError(fetch, seen.handleError);
      fetch.errorText = "WinINet's Internet handle could not be opened";
    } else {
      // A test abandoned at the deadline failed as the abandoned open does, with
      // ERROR_INTERNET_TIMEOUT, so that the JSON carries the number and this text.
      if (result == ConnectResult::kTestTimedOut) {
        SetError(fetch, static_cast<long>(ERROR_INTERNET_TIMEOUT));
      }
      fetch.errorText = "off line: " + OffLineCause(result, seen.flags) +
                        ", so Falwick fetches nothing";
      fetch.errorFix.clear();
    }
    return fetch;
  }
  download.Fetch(url, body.path());
  download.Close();
  fetch = internet.fetch();
  std::string error;
  StoreBody(fetch, ReadFileBytes(body.path(), DownloadUpdateInfo::kMaxStoredBytes, error)
                       .value_or(std::string()));
  return fetch;
}
