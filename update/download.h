// Fetches the update-information file by URL into a local file, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Connect, Fetch and Close, in this order; the Internet handle stays open between them
// (Close runs at destruction if it was not called).
class DownloadUpdateInfo {
 public:
  static constexpr const char* kAgent = "Orvanel Program Update";
  static constexpr uint32_t kTransferSize = 1024;          // bytes per read
  static constexpr size_t kWriteBufferSize = 4096;         // bytes per file write
  static constexpr size_t kMaxStoredBytes = 16 << 20;      // no real info file nears it
  static constexpr uint32_t kTimeoutMs = 30000;            // connect, send and receive
  static constexpr uint32_t kFetchDeadlineMs = 60000;      // the whole fetch

  explicit DownloadUpdateInfo(Platform& platform);
  ~DownloadUpdateInfo();
  DownloadUpdateInfo(const DownloadUpdateInfo&) = delete;
  DownloadUpdateInfo& operator=(const DownloadUpdateInfo&) = delete;

  // Tests that the machine is on line (modem or LAN) and opens the Internet handle.
  // False when off line or when the handle cannot be opened.
  bool Connect();

  // Opens `url` and copies its body into `path` (created or truncated). False only when
  // the URL cannot be opened. The copy ends at the first read that yields nothing, a
  // write failure, 16 MiB stored, or the fetch deadline; what was stored by then stays.
  bool Fetch(const std::string& url, const std::string& path);

  // Closes the Internet handle (unless the fetch deadline closed it already).
  void Close();

 private:
  void CopyBody(InternetHandle url, FileHandle file);

  Platform& platform_;
  InternetHandle internet_ = nullptr;
};
