// FetchUrl for the Windows build: Falwick's own download (DownloadUpdateInfo) over the
// real WinINet, watched, so that the proxy, the cache and the trusted certificates are
// the user's, exactly as when Falwick fetches the file. The body goes to a temporary file
// of the tool's own and is read back.
#include <windows.h>
#include <wininet.h>

#include "tools/info/run_check/dry_parts_win.h"
#include "tools/info/common/observing_internet_win.h"
#include "tools/info/url_check/url_fetch.h"
#include "tools/info/common/wininet_errors.h"
#include "platform/files_win.h"
#include "platform/internet_api_win.h"
#include "update/download.h"

UrlFetch FetchUrl(const std::string& url, const FetchOptions& /*options*/) {
  Win32InternetApi wininet;
  ObservingInternetApi internet(wininet);
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
    if (seen.handleAsked) {
      fetch.error = seen.handleError;
      fetch.errorName = DescribeWinInetError(seen.handleError).name;
      fetch.errorText = "WinINet's Internet handle could not be opened";
    } else {
      // A test abandoned at the deadline failed as the abandoned open does, with
      // ERROR_INTERNET_TIMEOUT, so that the JSON carries the number and this text.
      if (seen.stateDeadlinePassed) {
        fetch.error = static_cast<long>(ERROR_INTERNET_TIMEOUT);
        fetch.errorName = DescribeWinInetError(static_cast<long>(ERROR_INTERNET_TIMEOUT)).name;
      }
      fetch.errorText = "off line: " + OffLineCause(seen) + ", so Falwick fetches nothing";
    }
    return fetch;
  }
  download.Fetch(url, body.path());
  download.Close();
  fetch = internet.fetch();
  StoreBody(fetch, ReadFileBytes(files, body.path(), DownloadUpdateInfo::kMaxStoredBytes));
  return fetch;
}
