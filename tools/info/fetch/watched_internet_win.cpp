#include "tools/info/fetch/watched_internet_win.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "tools/info/fetch/fetch_report.h"
#include "update/download.h"

namespace {

// INTERNET_OPTION_SECURITY_CONNECTION_INFO, which MinGW-w64's headers lack: a DWORD size,
// a BOOL, then SecPkgContext_ConnectionInfo, whose first DWORD is the protocol.
constexpr DWORD kOptionSecurityConnectionInfo = 66;

bool IsHttps(const std::string& url) {
  return url.size() >= 6 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, url.c_str(), 6,
                                           "https:", 6) == CSTR_EQUAL;
}

// The text `query` (a WinINet call given a buffer and its length) puts in a buffer that
// holds `in` on the way in (HTTP_QUERY_CUSTOM reads the header's name from it), asked
// once more with the size WinINet wants when the buffer is too small; empty when it fails.
template <typename Query>
std::string QueryText(const std::string& in, Query query) {
  std::string value(std::max<size_t>(1024, in.size() + 1), '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    value.replace(0, in.size(), in);
    DWORD length = static_cast<DWORD>(value.size());
    if (query(value.data(), &length)) {
      value.resize(length);
      while (!value.empty() && value.back() == '\0') value.pop_back();
      return value;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    value.assign(std::max<size_t>(length + 1, in.size() + 1), '\0');
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

// What the opened `url` shows: WinINet follows redirects itself and shows only the last
// response, and the URL it answered. `proxy`: the one the Internet handle took.
void NoteOpened(HINTERNET url, const std::string& proxy, UrlFetch& fetch) {
  fetch.opened = true;
  FetchedResponse response;
  response.url = QueryText({}, [url](char* buffer, DWORD* length) {
    return InternetQueryOptionA(url, INTERNET_OPTION_URL, buffer, length) != FALSE;
  });
  if (response.url.empty()) response.url = fetch.url;
  DWORD status = 0;
  DWORD statusLength = sizeof status;
  if (HttpQueryInfoA(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                     &statusLength, nullptr)) {
    response.status = static_cast<long>(status);
  }
  // By name, as the native fetch reads them (the same list).
  for (const ResponseHeaderName& header : kResponseHeaders) {
    if (header.name == std::string("Location")) continue;
    std::string value = QueryText(header.name, [url](char* buffer, DWORD* length) {
      return HttpQueryInfoA(url, HTTP_QUERY_CUSTOM, buffer, length, nullptr) != FALSE;
    });
    if (!value.empty()) response.headers[header.name] = std::move(value);
  }
  fetch.fetchedAt = static_cast<int64_t>(std::time(nullptr));
  fetch.responses.push_back(response);

  DWORD requestFlags = 0;
  if (DwordOption(url, INTERNET_OPTION_REQUEST_FLAGS, requestFlags)) {
    fetch.fromCache = (requestFlags & INTERNET_REQFLAG_FROM_CACHE) != 0;
    if ((requestFlags & INTERNET_REQFLAG_VIA_PROXY) != 0) fetch.proxy = proxy;
  }
  // The certificate queries only on a secure connection: Wine 8 crashes in them on a
  // plain http handle.
  DWORD security = 0;
  if (IsHttps(response.url) && DwordOption(url, INTERNET_OPTION_SECURITY_FLAGS, security) &&
      (security & SECURITY_FLAG_SECURE) != 0) {
    // WinINet refuses a certificate it does not trust unless told to ignore it, which
    // Falwick never does: a secure connection means it verified.
    fetch.certificateVerified = true;
    fetch.tlsVersion = TlsVersion(url);
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
    owner_.connection_.stateResult = connected;
    owner_.connection_.flags = *flags;
    return connected;
  }

  InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url, const char* headers,
                                  uint32_t headersLength, uint32_t flags,
                                  uintptr_t context) override {
    UrlFetch& fetch = owner_.fetch_;
    owner_.fetchAsked_ = true;
    fetch.url = url;
    started_ = Clock::now();
    InternetHandle opened =
        real_->InternetOpenUrlA(internet, url, headers, headersLength, flags, context);
    // Right after the call: the real deadline hands the helper thread's error over.
    const long error = static_cast<long>(GetLastError());
    fetch.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    if (opened != nullptr) {
      NoteOpened(static_cast<HINTERNET>(opened), owner_.connection_.proxyServer, fetch);
      return opened;
    }
    fetch.deadlinePassed = real_->Fired();
    Failed(error);
    if (IsHttps(fetch.url) && IsCertificateError(fetch.error)) fetch.certificateVerified = false;
    return opened;
  }

  bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                        uint32_t* bytesRead) override {
    const bool ok = real_->InternetReadFile(file, buffer, bytesToRead, bytesRead);
    const long error = ok ? 0 : static_cast<long>(GetLastError());
    UrlFetch& fetch = owner_.fetch_;
    fetch.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    fetch.deadlinePassed = fetch.deadlinePassed || real_->Fired();
    // A failed read ends the copy like the end of the body; its error says why.
    if (!ok && fetch.error == 0) Failed(error);
    return ok;
  }

  bool Fired() const override { return real_->Fired(); }

 private:
  using Clock = std::chrono::steady_clock;

  // The call failed with `error`, or was abandoned at the deadline.
  void Failed(long error) {
    SetError(owner_.fetch_, real_->Fired() ? static_cast<long>(ERROR_INTERNET_TIMEOUT) : error);
  }

  WatchedInternetApi& owner_;
  std::unique_ptr<NetworkDeadline> real_;
  Clock::time_point started_;
};

InternetHandle WatchedInternetApi::InternetOpenA(const char* agent, uint32_t accessType,
                                                   const char* proxy, const char* proxyBypass,
                                                   uint32_t flags) {
  InternetHandle internet =
      Win32InternetApi::InternetOpenA(agent, accessType, proxy, proxyBypass, flags);
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
  return std::make_unique<Deadline>(*this, Win32InternetApi::ArmDeadline(milliseconds));
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
  const char* announced = final != nullptr ? final->headers.Get("Content-Length").c_str() : "";
  char* end = nullptr;
  const unsigned long long length = std::strtoull(announced, &end, 10);
  const bool lengthKnown = *announced != '\0' && end != nullptr && *end == '\0';
  fetch.bodyCut = body.size() >= DownloadUpdateInfo::kMaxStoredBytes &&
                  (!lengthKnown || length > body.size());
  fetch.body = std::move(body);
}
