// Fetches the update-information file by URL into a local file, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/internet_api.h"

// The download as the run flow uses it: Connect, Fetch and Close, in this order. The
// connection stays open between them.
class InfoDownload {
 public:
  virtual ~InfoDownload() = default;

  // Tests that the machine is on line and opens the connection. False when off line or
  // when the connection cannot be opened.
  virtual bool Connect() = 0;

  // Opens `url` and copies its body into the file `path` (created or truncated). False
  // only when the URL cannot be opened; a file that cannot be written is no failure.
  virtual bool Fetch(const std::string& url, const std::string& path) = 0;

  // Closes the connection.
  virtual void Close() = 0;
};

// The download through WinINet. Close also runs at destruction if it was not called.
class DownloadUpdateInfo final : public InfoDownload {
 public:
  static constexpr const char* kAgent = "Orvanel Program Update";
  static constexpr uint32_t kTransferSize = 1024;          // bytes per read
  static constexpr size_t kWriteBufferSize = 4096;         // bytes per file write
  static constexpr size_t kMaxStoredBytes = 16 << 20;      // no real info file nears it
  static constexpr uint32_t kTimeoutMs = 30000;            // connect, send and receive
  static constexpr uint32_t kFetchDeadlineMs = 60000;      // the whole fetch

  DownloadUpdateInfo(InternetApi& internet, Files& files);

  // On line means a modem or a local network; the Internet handle gets the time-outs.
  bool Connect() override;

  // The copy ends at the first read that yields nothing, a write failure, 16 MiB stored,
  // or the fetch deadline; what was stored by then stays.
  bool Fetch(const std::string& url, const std::string& path) override;

  // Closes the Internet handle (unless the fetch deadline closed it already).
  void Close() override;

 private:
  struct HandleCloser {
    InternetApi* api;
    void operator()(InternetHandle handle) const { api->InternetCloseHandle(handle); }
  };
  using OwnedInternetHandle = std::unique_ptr<void, HandleCloser>;

  void CopyBody(FetchDeadline& deadline, InternetHandle url, File& file);

  InternetApi& api_;
  Files& files_;
  OwnedInternetHandle internet_;
};
