// The whole run on a fake platform: CUpdateCheckApp::InitInstance with an arbitrary
// command line, response body and stored setting, and arbitrary outcomes of the network,
// dialog and shell calls; checked for what must hold whatever the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "app/update_check_app.h"
#include "fake_platform.h"
#include "fuzz_support.h"

namespace {

const std::string kDirectory = "C:\\Apps\\Writer\\";

bool IsCall(const std::string& call, const std::string& name) {
  return StartsWith(call, name + "(");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  // The program gets its command line as a C string: a NUL ends it.
  const std::string commandLine = UpToNul(provider.ConsumeRandomLengthString(2048));
  FakePlatform platform;
  platform.body = provider.ConsumeRandomLengthString(8192);
  const std::string setting = provider.ConsumeRandomLengthString(32);
  const uint8_t network = provider.ConsumeIntegral<uint8_t>();
  const uint8_t user = provider.ConsumeIntegral<uint8_t>();

  if (network & 1) platform.connectionFlags = 0x04;  // proxy only: off line
  platform.internetOpenFails = (network & 2) != 0;
  platform.urlOpenFails = (network & 4) != 0;
  platform.readFails = (network & 8) != 0;
  platform.deadlineFires = (network & 16) != 0;
  if (network & 32) platform.tempResult = 300;  // no usable temporary directory
  if (network & 64) platform.findExecutableResult = 31;  // no browser for ".htm"
  constexpr int kResults[] = {1, 2, -1, 0};
  platform.dialogResult = kResults[user & 3];
  constexpr int32_t kBoxes[] = {-1, 0, 1, -1};
  platform.boxAfterDialog = kBoxes[(user >> 2) & 3];

  UpdateRequest request = ParseCommandLine(commandLine);
  const RunMode mode = DecideRunMode(request);
  const auto& args = request.arguments;
  if (args.size() == kArgumentCount) {
    platform.profile[kDirectory + args[kSettingsFileNameArgument] + "|" +
                     args[kSettingsSectionArgument] + "|" + args[kSettingsKeyArgument]] = setting;
  }

  CUpdateCheckApp app(platform);
  platform.app = &app;
  FUZZ_CHECK(!app.InitInstance(commandLine.c_str()));
  FUZZ_CHECK(app.MainWindow() == nullptr);

  int reads = 0, writes = 0, dialogs = 0, browsers = 0;
  for (const std::string& call : platform.calls) {
    reads += IsCall(call, "GetPrivateProfileStringA");
    writes += IsCall(call, "WritePrivateProfileStringA");
    dialogs += IsCall(call, "DoModal");
    if (IsCall(call, "ShellExecuteA")) {
      ++browsers;
      FUZZ_CHECK(mode != RunMode::kNone);
      FUZZ_CHECK(EndsWith(call, ", " + args[kDownloadUrlArgument] + ", null, 1)"));
    }
    // A command line it cannot use ends the run before anything is fetched or written.
    if (mode == RunMode::kNone) FUZZ_CHECK(IsCall(call, "GetModuleFileNameA"));
  }
  FUZZ_CHECK(browsers <= 1);
  FUZZ_CHECK(dialogs <= 1);
  // The setting is read before and stored after the dialog, once each, and only then.
  FUZZ_CHECK(reads == dialogs && writes == dialogs);
  if (dialogs == 1) {
    const std::string& written = platform.calls[platform.IndexOf("WritePrivateProfileStringA")];
    const std::string where = args[kSettingsSectionArgument] + ", " + args[kSettingsKeyArgument];
    const std::string file = kDirectory + args[kSettingsFileNameArgument] + ")";
    FUZZ_CHECK(written == "WritePrivateProfileStringA(" + where + ", 0, " + file ||
               written == "WritePrivateProfileStringA(" + where + ", 1, " + file);
    FUZZ_CHECK(platform.dialogShown.productName == request.productName);
  }
  // The downloaded file never stays behind in the program's directory.
  for (const auto& file : platform.files) FUZZ_CHECK(!StartsWith(file.first, kDirectory));
  return 0;
}
