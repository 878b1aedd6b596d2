// Fetches the update-information file by URL into a local file, byte for byte.
//
// The run's time bound. Whatever the network does, a run ends at most N = 65 s after it
// starts, plus the time the notice waits for the user's answer when it appears:
//   60 s  one deadline (kFetchDeadlineMs) over every call that can wait on the network or
//         hang inside WinINet - the connectivity test, opening the URL, each read. It is
//         armed before the connectivity test and ends after the last read; the WinINet
//         time-outs (kTimeoutMs) end calls sooner, never later. A call still running at
//         the deadline is abandoned: the connectivity test then counts as off line, an
//         open as a URL that cannot be opened, a read as the end of the body.
//         InternetOpenA and InternetSetOptionA, made in between on the caller's thread,
//         only set up the handle and wait on nothing.
//    5 s  everything else, none of which waits on the network: the command line, deleting
//         and writing the info file (at most 16 MiB), reading it, the settings file, the
//         browser's start, and the end of the process (platform/deadline_win.h says how
//         a process with an abandoned call ends without waiting on it). On any machine
//         that runs Windows this takes well under a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/internet_api.h"

// How Connect ended, in the order of its steps.
enum class ConnectResult : uint8_t {
  kOnLine,
  kNotConnected,      // the connectivity test said off line
  kTestTimedOut,      // it did not answer within the deadline
  kNoModemOrLan,      // on line neither by modem nor by a local network (a proxy alone)
  kNoInternetHandle,  // the Internet handle could not be opened
};

// The download as the run flow uses it: Connect, Fetch and Close, in this order. The
// connection stays open between them.
class InfoDownload {
 public:
  virtual ~InfoDownload() = default;

  // Tests that the machine is on line and opens the connection. False when off line, when
  // the test did not answer in time, or when the connection cannot be opened.
  virtual bool Connect() = 0;
  // How the last Connect ended.
  virtual ConnectResult Connection() const = 0;

  // Opens `url` and copies its body into the file `path` (created or truncated). False
  // only when the URL cannot be opened (or Connect did not succeed); a file that cannot be
  // written is no failure.
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
  static constexpr uint32_t kFetchDeadlineMs = 60000;      // connectivity test and fetch

  DownloadUpdateInfo(InternetApi& internet, Files& files);
  ~DownloadUpdateInfo() override { Close(); }
  DownloadUpdateInfo(const DownloadUpdateInfo&) = delete;
  DownloadUpdateInfo& operator=(const DownloadUpdateInfo&) = delete;

  // Arms the deadline; on line means a modem or a local network; the Internet handle
  // gets the time-outs.
  bool Connect() override;
  ConnectResult Connection() const override { return connection_; }

  // The copy ends at the first read that yields nothing, a write failure, 16 MiB stored,
  // or the deadline; what was stored by then stays.
  bool Fetch(const std::string& url, const std::string& path) override;

  // Closes the Internet handle and ends the deadline. Once the deadline has fired no
  // handle is closed: the abandoned call may still be using it (and the handles it came
  // from), so they stay open until the process ends.
  void Close() override;

 private:
  struct HandleCloser {
    InternetApi* api;
    void operator()(InternetHandle handle) const { api->InternetCloseHandle(handle); }
  };
  using OwnedInternetHandle = std::unique_ptr<void, HandleCloser>;

  void CopyBody(NetworkDeadline& deadline, InternetHandle url, File& file);

  InternetApi& api_;
  Files& files_;
  std::unique_ptr<NetworkDeadline> deadline_;
  OwnedInternetHandle internet_;
  ConnectResult connection_ = ConnectResult::kNotConnected;
};
