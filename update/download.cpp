#include "update/download.h"

namespace {

// Collects bytes and writes them to the file whenever kWriteBufferSize of them have
// gathered, and on Flush. After a failed write it accepts nothing more.
class BufferedFileWriter {
 public:
  explicit BufferedFileWriter(File& file) : file_(file) {}

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
      failed_ = file_.Write(buffer_, used_) != used_;
      used_ = 0;
    }
    return !failed_;
  }

 private:
  File& file_;
  char buffer_[DownloadUpdateInfo::kWriteBufferSize];
  size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace

DownloadUpdateInfo::DownloadUpdateInfo(InternetApi& internet, Files& files)
    : api_(internet), files_(files), internet_(nullptr, HandleCloser{&internet}) {}

bool DownloadUpdateInfo::Connect() {
  // The connectivity test is under the deadline too: on some Windows 10 releases it has
  // blocked inside WinINet for minutes. One that does not answer in time counts as off
  // line.
  deadline_ = api_.ArmDeadline(kFetchDeadlineMs);
  uint32_t flags = 0;
  if (!deadline_->InternetGetConnectedState(&flags, 0)) {
    connection_ = deadline_->Fired() ? ConnectResult::kTestTimedOut : ConnectResult::kNotConnected;
    return false;
  }
  // A proxy flag alone does not count: only a modem or a local network.
  connection_ = ConnectResult::kNoModemOrLan;
  if ((flags & (win::kConnectionModem | win::kConnectionLan)) == 0) return false;

  connection_ = ConnectResult::kNoInternetHandle;
  internet_.reset(api_.InternetOpenA(kAgent, win::kOpenTypePreconfig, nullptr, nullptr, 0));
  if (internet_ == nullptr) return false;
  connection_ = ConnectResult::kOnLine;

  // Without these WinINet waits up to 60 s to connect and for ever for data.
  for (uint32_t option : {win::kOptionConnectTimeout, win::kOptionSendTimeout,
                          win::kOptionReceiveTimeout}) {
    uint32_t timeout = kTimeoutMs;
    api_.InternetSetOptionA(internet_.get(), option, &timeout, sizeof timeout);
  }
  return true;
}

bool DownloadUpdateInfo::Fetch(const std::string& url, const std::string& path) {
  if (internet_ == nullptr) return false;
  // Some WinINet versions ignore the receive time-out, so a server that stalls before
  // its headers or in the middle of the body would block the program for ever. The
  // calls that wait on the server go through the deadline armed by Connect.
  OwnedInternetHandle body(deadline_->InternetOpenUrlA(internet_.get(), url.c_str(), nullptr, 0,
                                                       win::kFlagExistingConnect, 0),
                           HandleCloser{&api_});
  const bool opened = body != nullptr;
  if (opened) {
    if (const std::unique_ptr<File> file = files_.OpenForWriting(path)) {
      CopyBody(*deadline_, body.get(), *file);
    }
  }
  // A read abandoned at the deadline may still be using the URL handle.
  if (deadline_->Fired()) (void)body.release();
  return opened;
}

void DownloadUpdateInfo::CopyBody(NetworkDeadline& deadline, InternetHandle url, File& file) {
  BufferedFileWriter writer(file);
  char buffer[kTransferSize];
  size_t stored = 0;
  while (stored < kMaxStoredBytes) {
    // Only the count is tested: a failed read ends the copy like the end of the body.
    uint32_t read = 0;
    deadline.InternetReadFile(url, buffer, kTransferSize, &read);
    if (read == 0) break;
    size_t keep = read < kTransferSize ? read : kTransferSize;
    if (keep > kMaxStoredBytes - stored) keep = kMaxStoredBytes - stored;
    if (!writer.Write(buffer, keep)) break;
    stored += keep;
  }
  writer.Flush();
}

void DownloadUpdateInfo::Close() {
  if (deadline_ != nullptr && deadline_->Fired()) (void)internet_.release();
  internet_.reset();
  deadline_.reset();
}
