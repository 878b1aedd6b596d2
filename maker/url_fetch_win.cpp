// FetchUrl for the Windows build. Placeholder until the fetch goes through Falwick's own
// download code: it reports that the URL was not opened.
#include "maker/url_fetch.h"

UrlFetch FetchUrl(const std::string& url, const FetchOptions& /*options*/) {
  UrlFetch fetch;
  fetch.url = url;
  fetch.errorText = "this build of falwick-info cannot fetch a URL";
  return fetch;
}
