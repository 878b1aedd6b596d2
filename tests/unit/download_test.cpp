#include <gtest/gtest.h>

#include <algorithm>

#include "fake_system.h"
#include "update/download.h"

namespace {

const std::string kPath = "C:\\p\\info.txt";
constexpr size_t kMiB = size_t{1} << 20;

// FakeInternet seen from the network's side: how many bytes it has handed over, and the
// most the download ever held between the network and the file (handed over, not yet
// stored at kPath), looked at before every read.
class WatchedNetwork : public InternetApi {
 public:
  WatchedNetwork(FakeInternet& internet, const FakeFiles& files)
      : internet_(internet), files_(files) {}

  size_t handedOver = 0;
  size_t mostHeld = 0;

  InternetHandle InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                               const char* proxyBypass, uint32_t flags) override {
    return internet_.InternetOpenA(agent, accessType, proxy, proxyBypass, flags);
  }
  bool InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                          uint32_t length) override {
    return internet_.InternetSetOptionA(handle, option, buffer, length);
  }
  bool InternetCloseHandle(InternetHandle handle) override {
    return internet_.InternetCloseHandle(handle);
  }
  std::unique_ptr<NetworkDeadline> ArmDeadline(uint32_t milliseconds) override {
    return std::make_unique<Deadline>(*this, internet_.ArmDeadline(milliseconds));
  }

 private:
  class Deadline : public NetworkDeadline {
   public:
    Deadline(WatchedNetwork& network, std::unique_ptr<NetworkDeadline> inner)
        : network_(network), inner_(std::move(inner)) {}
    bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) override {
      return inner_->InternetGetConnectedState(flags, reserved);
    }
    InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url,
                                    const char* headers, uint32_t headersLength,
                                    uint32_t flags, uintptr_t context) override {
      return inner_->InternetOpenUrlA(internet, url, headers, headersLength, flags, context);
    }
    bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                          uint32_t* bytesRead) override {
      const auto found = network_.files_.files.find(kPath);
      const size_t stored = found != network_.files_.files.end() ? found->second.size() : 0;
      network_.mostHeld = std::max(network_.mostHeld, network_.handedOver - stored);
      const bool read = inner_->InternetReadFile(file, buffer, bytesToRead, bytesRead);
      network_.handedOver += *bytesRead;
      return read;
    }
    bool Fired() const override { return inner_->Fired(); }

   private:
    WatchedNetwork& network_;
    std::unique_ptr<NetworkDeadline> inner_;
  };

  FakeInternet& internet_;
  const FakeFiles& files_;
};

// A body of `size` bytes in which a byte out of place shows.
std::string Body(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7) ^ (i >> 11));
  return body;
}

// A download on fakes that share one log; the network watched.
struct Fixture {
  CallLog log;
  FakeInternet internet{log};
  FakeFiles files{log};
  WatchedNetwork network{internet, files};
  DownloadUpdateInfo download{network, files};

  // Connects, forgets the calls that took, and fetches `url`.
  bool ConnectAndFetch(const std::string& url = "http://h/i") {
    EXPECT_TRUE(download.Connect());
    log.clear();
    return download.Fetch(url, kPath);
  }
  const std::string& Stored() { return files.files[kPath]; }
  CallLog Closed() const { return CallsNamed(log, "InternetCloseHandle"); }
};

TEST(DownloadConnect, OpensTheInternetHandleWhenOnLine) {
  Fixture f;
  ASSERT_TRUE(f.download.Connect());
  // The deadline is armed before the connectivity test, which is made through it.
  EXPECT_EQ(f.log,
            (CallLog{"ArmDeadline(60000)", "InternetGetConnectedState(0)",
                     "InternetOpenA(Orvanel Program Update, 0, null, null, 0x0)",
                     "InternetSetOptionA(0x100, 2, 30000, 4)", "InternetSetOptionA(0x100, 5, 30000, 4)",
                     "InternetSetOptionA(0x100, 6, 30000, 4)"}));
}

TEST(DownloadConnect, OnlyAModemOrALocalNetworkCountsAsOnLine) {
  for (uint32_t flags : {0x01u, 0x02u, 0x03u, 0x12u}) {
    Fixture f;
    f.internet.connectionFlags = flags;
    EXPECT_TRUE(f.download.Connect()) << flags;
  }
  for (uint32_t flags : {0x00u, 0x04u, 0x10u, 0x30u}) {
    Fixture f;
    f.internet.connectionFlags = flags;
    EXPECT_FALSE(f.download.Connect()) << flags;
    EXPECT_EQ(IndexOf(f.log, "InternetOpenA"), -1);
  }
  Fixture failing;
  failing.internet.connectedResult = false;
  EXPECT_FALSE(failing.download.Connect());
  EXPECT_EQ(IndexOf(failing.log, "InternetOpenA"), -1);
}

TEST(DownloadConnect, AFailedOpenEndsWithoutAHandleToClose) {
  CallLog log;
  FakeInternet internet(log);
  FakeFiles files(log);
  internet.internetOpenFails = true;
  {
    DownloadUpdateInfo download(internet, files);
    EXPECT_FALSE(download.Connect());
  }
  EXPECT_TRUE(CallsNamed(log, "InternetCloseHandle").empty());
  EXPECT_TRUE(CallsNamed(log, "InternetSetOptionA").empty());
}

// Whatever its size, the body is stored byte for byte up to 16 MiB and cut exactly there,
// and it passes through a small buffer: the file never lags far behind the network.
TEST(DownloadFetch, StoresTheBodyUpTo16MiBThroughABufferThatDoesNotGrowWithIt) {
  constexpr size_t kCap = DownloadUpdateInfo::kMaxStoredBytes;
  static_assert(kCap == 16 * kMiB, "the documented cap");
  for (const size_t size : {size_t{0}, size_t{1}, size_t{10000}, kMiB, kCap, kCap + 1}) {
    Fixture f;
    f.internet.body = Body(size);
    ASSERT_TRUE(f.ConnectAndFetch("http://h/info.txt")) << size;
    f.download.Close();
    EXPECT_TRUE(f.Stored() == f.internet.body.substr(0, kCap)) << size;
    EXPECT_LE(f.network.mostHeld, 64u * 1024) << size;
    // The URL is opened as given, over the connection Connect opened and through the
    // cache; each handle is closed once, the URL's by the fetch, the connection's by Close.
    EXPECT_EQ(f.log.front(), "InternetOpenUrlA(0x100, http://h/info.txt, null, 0, 0x20000000, 0)");
    EXPECT_EQ(f.Closed(), (CallLog{"InternetCloseHandle(0x200)", "InternetCloseHandle(0x100)"}));
    EXPECT_TRUE(f.internet.handleFaults.empty()) << size;
    EXPECT_TRUE(f.internet.openHandles.empty()) << size;
  }
}

TEST(DownloadFetch, AnURLThatCannotBeOpenedFails) {
  Fixture f;
  f.internet.urlOpenFails = true;
  EXPECT_FALSE(f.ConnectAndFetch());
  EXPECT_EQ(f.files.files.count(kPath), 0u);
  EXPECT_TRUE(f.Closed().empty());
}

TEST(DownloadFetch, AnUnwritableFileSkipsTheBodyButSucceeds) {
  Fixture f;
  f.files.readOnly.insert(kPath);
  f.internet.body = "VERSION=9";
  EXPECT_TRUE(f.ConnectAndFetch());
  EXPECT_EQ(f.network.handedOver, 0u);
  EXPECT_EQ(f.Closed(), CallLog{"InternetCloseHandle(0x200)"});
}

TEST(DownloadFetch, AFailedReadEndsTheCopyKeepingWhatArrivedBefore) {
  Fixture f;
  f.internet.body = Body(300000);
  f.internet.readFails = true;  // every read after the first fails
  EXPECT_TRUE(f.ConnectAndFetch());
  EXPECT_FALSE(f.Stored().empty());
  EXPECT_EQ(f.Stored(), f.internet.body.substr(0, f.network.handedOver));
  EXPECT_LT(f.Stored().size(), f.internet.body.size());
}

TEST(DownloadFetch, AFullDiskStopsTheCopyKeepingWhatWasWritten) {
  Fixture f;
  f.internet.body = Body(4 * kMiB);
  f.files.writeCapacity = 5000;
  EXPECT_TRUE(f.ConnectAndFetch());
  EXPECT_EQ(f.Stored(), f.internet.body.substr(0, 5000));
  // The failed write ends the copy: the rest of the body is not read through.
  EXPECT_LT(f.network.handedOver, kMiB);
}

// Each call that can wait blocks for ever in turn. The deadline abandons it; the run goes
// on with what arrived before, and no handle is closed after that, so none is closed
// while the blocked call may use it, nor twice. A download destroyed without Close (the
// end of the program) closes nothing either.
TEST(DownloadDeadline, ACallThatNeverReturnsIsAbandonedAndItsHandlesAreLeftAlone) {
  struct Case {
    const char* blocked;
    int call;  // through the deadline: 0 the connectivity test, 1 the open, 2... reads
    bool connected;
    bool opened;
  };
  for (const Case& c : {Case{"connectivity test", 0, false, false},
                        Case{"open", 1, true, false}, Case{"first read", 2, true, true},
                        Case{"third read", 4, true, true}}) {
    for (const bool closed : {true, false}) {
      Fixture f;
      f.internet.body = Body(100000);
      f.internet.deadlineFiresAt = c.call;
      bool opened = false;
      {
        DownloadUpdateInfo download(f.network, f.files);
        const bool connected = download.Connect();
        EXPECT_EQ(connected, c.connected) << c.blocked;
        if (connected) opened = download.Fetch("http://h/i", kPath);
        if (closed) download.Close();
      }
      EXPECT_EQ(opened, c.opened) << c.blocked;
      // Every byte handed over before the blocked call is stored; none after it is asked.
      if (c.opened) {
        EXPECT_EQ(f.Stored(), f.internet.body.substr(0, f.network.handedOver)) << c.blocked;
        EXPECT_EQ(f.network.handedOver == 0, c.call == 2) << c.blocked;
      } else {
        EXPECT_EQ(f.files.files.count(kPath), 0u) << c.blocked;
      }
      EXPECT_TRUE(f.Closed().empty()) << c.blocked;
      EXPECT_EQ(f.internet.handleFaults, std::vector<std::string>{}) << c.blocked;
      // The blocked call is the last one made through the deadline.
      EXPECT_EQ(CallsNamed(f.log, "InternetReadFile").size(),
                static_cast<size_t>(c.call > 1 ? c.call - 1 : 0)) << c.blocked;
      EXPECT_EQ(f.log.back(), "DisarmDeadline()") << c.blocked;
    }
  }
}

}  // namespace
