#include "update/download.h"

#include "platform/win_constants.h"

namespace {

// Collects bytes and writes them to the file whenever kWriteBufferSize of them have
// gathered, and on Flush. After a failed write it accepts nothing more.
class BufferedFileWriter {
 public:
  BufferedFileWriter(Platform& platform, FileHandle file) : platform_(platform), file_(file) {}

  bool Write(const char* data, size_t size) {
    while (size > 0 && !failed_) {
      size_t chunk = DownloadUpdateInfo::kWriteBufferSize - used_;
      if (chunk > size) chunk = size;
      for (size_t i = 0; i < chunk; ++i) buffer_[used_ + i] = data[i];
      used_ += chunk;
      data += chunk;
      size -= chunk;
      if (used_ == DownloadUpdateInfo::kWriteBufferSize) Flush();
    }
    return !failed_;
  }

  bool Flush() {
    if (used_ > 0 && !failed_) {
      failed_ = platform_.FWrite(buffer_, 1, used_, file_) != used_;
      used_ = 0;
    }
    return !failed_;
  }

 private:
  Platform& platform_;
  FileHandle file_;
  char buffer_[DownloadUpdateInfo::kWriteBufferSize];
  size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace

DownloadUpdateInfo::DownloadUpdateInfo(Platform& platform) : platform_(platform) {}

DownloadUpdateInfo::~DownloadUpdateInfo() { Close(); }

bool DownloadUpdateInfo::Connect() {
  uint32_t flags = 0;
  if (!platform_.InternetGetConnectedState(&flags, 0)) return false;
  // A proxy flag alone does not count: only a modem or a local network.
  if ((flags & (win::kConnectionModem | win::kConnectionLan)) == 0) return false;

  internet_ = platform_.InternetOpenA(kAgent, win::kOpenTypePreconfig, nullptr, nullptr, 0);
  if (internet_ == nullptr) return false;

  // Without these WinINet waits up to 60 s to connect and for ever for data.
  for (uint32_t option : {win::kOptionConnectTimeout, win::kOptionSendTimeout,
                          win::kOptionReceiveTimeout}) {
    uint32_t timeout = kTimeoutMs;
    platform_.InternetSetOptionA(internet_, option, &timeout, sizeof timeout);
  }
  return true;
}

bool DownloadUpdateInfo::Fetch(const std::string& url, const std::string& path) {
  // Some WinINet versions ignore the receive time-out, so a server that stalls before
  // its headers or in the middle of the body would block the program for ever. The
  // deadline bounds the whole fetch; what was stored by then counts.
  DeadlineHandle deadline = platform_.ArmDeadline(internet_, kFetchDeadlineMs);

  InternetHandle urlHandle = platform_.InternetOpenUrlA(
      internet_, url.c_str(), nullptr, 0, win::kFlagExistingConnect, 0);
  if (urlHandle != nullptr) {
    FileHandle file = platform_.FsOpen(path.c_str(), "wb", win::kShareDenyReadWrite);
    if (file != nullptr) {
      CopyBody(urlHandle, file);
      platform_.FClose(file);
    }
  }

  if (platform_.DisarmDeadline(deadline)) {
    internet_ = nullptr;  // closed by the deadline, and the URL handle with it
  } else if (urlHandle != nullptr) {
    platform_.InternetCloseHandle(urlHandle);
  }
  return urlHandle != nullptr;
}

void DownloadUpdateInfo::CopyBody(InternetHandle url, FileHandle file) {
  BufferedFileWriter writer(platform_, file);
  char buffer[kTransferSize];
  size_t stored = 0;
  while (stored < kMaxStoredBytes) {
    // Only the count is tested: a failed read ends the copy like the end of the body.
    uint32_t read = 0;
    platform_.InternetReadFile(url, buffer, kTransferSize, &read);
    if (read == 0) break;
    size_t keep = read < kTransferSize ? read : kTransferSize;
    if (keep > kMaxStoredBytes - stored) keep = kMaxStoredBytes - stored;
    if (!writer.Write(buffer, keep)) break;
    stored += keep;
  }
  writer.Flush();
}

void DownloadUpdateInfo::Close() {
  if (internet_ == nullptr) return;
  platform_.InternetCloseHandle(internet_);
  internet_ = nullptr;
}
