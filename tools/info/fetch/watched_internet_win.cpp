#include "tools/info/fetch/watched_internet_win.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "tools/info/fetch/wininet_errors.h"
#include "update/download.h"

namespace {

// INTERNET_OPTION_SECURITY_CONNECTION_INFO, which MinGW-w64's headers lack: a DWORD size,
// a BOOL, then SecPkgContext_ConnectionInfo, whose first DWORD is the protocol.
constexpr DWORD kOptionSecurityConnectionInfo = 66;

bool IsHttps(const std::string& url) {
  return url.size() >= 6 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, url.c_str(), 6,
                                           "https:", 6) == CSTR_EQUAL;
}

// A header of the response, or empty when it has none. With `name`, the header of that
// name (HTTP_QUERY_CUSTOM: the buffer holds the name on the way in).
std::string QueryHeader(HINTERNET url, DWORD query, const char* name = nullptr) {
  std::string value(256, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (name != nullptr) {
      const size_t nameLength = std::strlen(name);
      if (value.size() <= nameLength) value.resize(nameLength + 1, '\0');
      std::memcpy(value.data(), name, nameLength + 1);
    }
    DWORD length = static_cast<DWORD>(value.size());
    if (HttpQueryInfoA(url, query, value.data(), &length, nullptr)) {
      value.resize(length);
      return value;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    value.assign(length + 1, '\0');
  }
  return {};
}

// A text option of a handle (INTERNET_OPTION_URL), or empty.
std::string TextOption(HINTERNET handle, DWORD option) {
  std::string value(1024, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = static_cast<DWORD>(value.size());
    if (InternetQueryOptionA(handle, option, value.data(), &length)) {
      value.resize(length);
      while (!value.empty() && value.back() == '\0') value.pop_back();
      return value;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    value.assign(length + 1, '\0');
  }
  return {};
}

bool DwordOption(HINTERNET handle, DWORD option, DWORD& value) {
  DWORD length = sizeof value;
  return InternetQueryOptionA(handle, option, &value, &length) != FALSE;
}

std::string TlsVersion(HINTERNET url) {
  DWORD info[64] = {};
  info[0] = sizeof info;
  DWORD length = sizeof info;
  if (!InternetQueryOptionA(url, kOptionSecurityConnectionInfo, info, &length)) return {};
  switch (info[2]) {
    case 0x00000020: return "SSLv3";
    case 0x00000080: return "TLSv1.0";
    case 0x00000200: return "TLSv1.1";
    case 0x00000800: return "TLSv1.2";
    case 0x00002000: return "TLSv1.3";
    default: return {};
  }
}

}  // namespace

// The deadline of the real mirror, with each call watched.
class WatchedInternetApi::Deadline final : public NetworkDeadline {
 public:
  Deadline(WatchedInternetApi& owner, std::unique_ptr<NetworkDeadline> real)
      : owner_(owner), real_(std::move(real)) {}

  bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) override {
    const bool connected = real_->InternetGetConnectedState(flags, reserved);
    owner_.Connected(connected, *flags);
    return connected;
  }

  InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url, const char* headers,
                                  uint32_t headersLength, uint32_t flags,
                                  uintptr_t context) override {
    owner_.fetchAsked_ = true;
    owner_.fetch_.url = url;
    owner_.started_ = Clock::now();
    InternetHandle opened =
        real_->InternetOpenUrlA(internet, url, headers, headersLength, flags, context);
    // Right after the call: the real deadline hands the helper thread's error over.
    const long error = static_cast<long>(GetLastError());
    if (opened == nullptr) {
      owner_.FailedUrl(error, real_->Fired());
    } else {
      owner_.OpenedUrl(opened);
    }
    return opened;
  }

  bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                        uint32_t* bytesRead) override {
    const bool ok = real_->InternetReadFile(file, buffer, bytesToRead, bytesRead);
    const long error = ok ? 0 : static_cast<long>(GetLastError());
    owner_.Read(ok, error, real_->Fired());
    return ok;
  }

  bool Fired() const override { return real_->Fired(); }

 private:
  WatchedInternetApi& owner_;
  std::unique_ptr<NetworkDeadline> real_;
};

void WatchedInternetApi::Connected(bool connected, uint32_t flags) {
  connection_.stateAsked = true;
  connection_.stateResult = connected;
  connection_.flags = flags;
}

InternetHandle WatchedInternetApi::InternetOpenA(const char* agent, uint32_t accessType,
                                                   const char* proxy, const char* proxyBypass,
                                                   uint32_t flags) {
  InternetHandle internet = real_.InternetOpenA(agent, accessType, proxy, proxyBypass, flags);
  connection_.handleAsked = true;
  connection_.handleOpened = internet != nullptr;
  if (internet == nullptr) {
    connection_.handleError = static_cast<long>(GetLastError());
    return internet;
  }
  // The proxy settings the handle took from the system (the preconfigured access type).
  DWORD length = 0;
  InternetQueryOptionA(internet, INTERNET_OPTION_PROXY, nullptr, &length);
  std::vector<uint64_t> buffer(length / sizeof(uint64_t) + 1);
  length = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
  if (length >= sizeof(INTERNET_PROXY_INFO) &&
      InternetQueryOptionA(internet, INTERNET_OPTION_PROXY, buffer.data(), &length)) {
    const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
    connection_.proxyAccessType = info->dwAccessType;
    if (info->lpszProxy != nullptr) connection_.proxyServer = info->lpszProxy;
    if (info->lpszProxyBypass != nullptr) connection_.proxyBypass = info->lpszProxyBypass;
  }
  return internet;
}

std::unique_ptr<NetworkDeadline> WatchedInternetApi::ArmDeadline(uint32_t milliseconds) {
  return std::make_unique<Deadline>(*this, real_.ArmDeadline(milliseconds));
}

void WatchedInternetApi::OpenedUrl(InternetHandle handle) {
  auto* const url = static_cast<HINTERNET>(handle);
  fetch_.opened = true;
  fetch_.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  // WinINet follows redirects itself and shows only the last response, and the URL it
  // answered.
  FetchedResponse response;
  response.url = TextOption(url, INTERNET_OPTION_URL);
  if (response.url.empty()) response.url = fetch_.url;
  DWORD status = 0;
  DWORD length = sizeof status;
  if (HttpQueryInfoA(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length,
                     nullptr)) {
    response.status = static_cast<long>(status);
  }
  ResponseHeaders& headers = response.headers;
  headers.contentType = QueryHeader(url, HTTP_QUERY_CONTENT_TYPE);
  headers.contentLength = QueryHeader(url, HTTP_QUERY_CONTENT_LENGTH);
  headers.cacheControl = QueryHeader(url, HTTP_QUERY_CACHE_CONTROL);
  headers.expires = QueryHeader(url, HTTP_QUERY_EXPIRES);
  headers.etag = QueryHeader(url, HTTP_QUERY_ETAG);
  headers.lastModified = QueryHeader(url, HTTP_QUERY_LAST_MODIFIED);
  // The rest by name, as the native fetch reads them (the same list).
  for (const NamedHeader& header : kKnownResponseHeaders) {
    std::string& field = headers.*header.field;
    if (field.empty() && header.field != &ResponseHeaders::location) {
      field = QueryHeader(url, HTTP_QUERY_CUSTOM, header.name);
    }
  }
  fetch_.fetchedAt = static_cast<int64_t>(std::time(nullptr));
  fetch_.responses.push_back(response);

  DWORD requestFlags = 0;
  if (DwordOption(url, INTERNET_OPTION_REQUEST_FLAGS, requestFlags)) {
    fetch_.fromCache = (requestFlags & INTERNET_REQFLAG_FROM_CACHE) != 0;
    if ((requestFlags & INTERNET_REQFLAG_VIA_PROXY) != 0) fetch_.proxy = connection_.proxyServer;
  }
  // The certificate queries only on a secure connection: Wine 8 crashes in them on a
  // plain http handle.
  DWORD security = 0;
  if (IsHttps(response.url) && DwordOption(url, INTERNET_OPTION_SECURITY_FLAGS, security) &&
      (security & SECURITY_FLAG_SECURE) != 0) {
    // WinINet refuses a certificate it does not trust unless told to ignore it, which
    // Falwick never does: a secure connection means it verified.
    fetch_.certificateVerified = true;
    fetch_.tlsVersion = TlsVersion(url);
  }
}

void WatchedInternetApi::FailedUrl(long error, bool fired) {
  fetch_.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  fetch_.deadlinePassed = fired;
  SetError(fetch_, fired ? static_cast<long>(ERROR_INTERNET_TIMEOUT) : error);
  if (IsHttps(fetch_.url) && IsCertificateError(fetch_.error)) fetch_.certificateVerified = false;
}

void WatchedInternetApi::Read(bool ok, long error, bool fired) {
  fetch_.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  fetch_.deadlinePassed = fetch_.deadlinePassed || fired;
  if (ok || fetch_.error != 0) return;
  // A failed read ends the copy like the end of the body; its error says why.
  SetError(fetch_, fired ? static_cast<long>(ERROR_INTERNET_TIMEOUT) : error);
}

void SetError(UrlFetch& fetch, long error) {
  const WinInetErrorInfo info = DescribeWinInetError(error);
  fetch.error = error;
  fetch.errorName = info.name;
  fetch.errorText = info.text;
  fetch.errorFix = info.fix;
}

void StoreBody(UrlFetch& fetch, std::string body) {
  const FetchedResponse* final = fetch.Final();
  const char* announced = final != nullptr ? final->headers.contentLength.c_str() : "";
  char* end = nullptr;
  const unsigned long long length = std::strtoull(announced, &end, 10);
  const bool lengthKnown = *announced != '\0' && end != nullptr && *end == '\0';
  fetch.bodyCut = body.size() >= DownloadUpdateInfo::kMaxStoredBytes &&
                  (!lengthKnown || length > body.size());
  fetch.body = std::move(body);
}
