// The whole run on fakes of the Windows side: CUpdateCheckApp::InitInstance with the
// program's own download, setting and browser launch, an arbitrary command line,
// response body and stored setting, and arbitrary outcomes of the network, dialog and
// shell calls; checked for what must hold whatever the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "update/host_setting.h"
#include "app/update_check_app.h"
#include "fake_roles.h"
#include "fake_system.h"
#include "fuzz_support.h"
#include "shell/browser.h"
#include "update/download.h"

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
  CallLog log;
  FakeFiles files(log);
  FakeInternet internet(log);
  FakeProfile profile(log);
  FakeShell shell(log, files);
  FakeNotice notice(log);
  internet.body = provider.ConsumeRandomLengthString(8192);
  const std::string setting = provider.ConsumeRandomLengthString(32);
  const uint8_t network = provider.ConsumeIntegral<uint8_t>();
  const uint8_t user = provider.ConsumeIntegral<uint8_t>();

  if (network & 1) internet.connectionFlags = 0x04;  // proxy only: off line
  internet.internetOpenFails = (network & 2) != 0;
  internet.urlOpenFails = (network & 4) != 0;
  internet.readFails = (network & 8) != 0;
  if (network & 16) internet.deadlineFiresAt = (user >> 4) & 3;  // during that call
  if (network & 32) files.tempDirectory = std::nullopt;  // no usable temporary directory
  if (network & 64) shell.findExecutableResult = 31;  // no browser for ".htm"
  notice.answer = (user & 1) != 0 ? NoticeAnswer::kYes : NoticeAnswer::kNo;
  constexpr int32_t kBoxes[] = {-1, 0, 1, -1};
  notice.boxLeft = kBoxes[(user >> 2) & 3];

  UpdateRequest request = ParseCommandLine(commandLine);
  const RunMode mode = DecideRunMode(request);
  const auto& args = request.arguments;
  if (args.size() == kArgumentCount) {
    profile.values[kDirectory + args[kSettingsFileNameArgument] + "|" +
                   args[kSettingsSectionArgument] + "|" + args[kSettingsKeyArgument]] = setting;
  }

  DownloadUpdateInfo download(internet, files);
  ProfileHostSetting host(profile, files);
  DefaultBrowser browser(files, shell);
  CUpdateCheckApp app(files, download, host, notice, browser);
  notice.app = &app;
  FUZZ_CHECK(!app.InitInstance(commandLine.c_str()));
  FUZZ_CHECK(app.MainWindow() == nullptr);

  // A command line it cannot use ends the run before anything is fetched or written.
  if (mode == RunMode::kNone) FUZZ_CHECK(log.empty());
  int reads = 0, writes = 0, dialogs = 0;
  for (const std::string& call : log) {
    reads += IsCall(call, "GetPrivateProfileStringA");
    writes += IsCall(call, "WritePrivateProfileStringA");
    dialogs += IsCall(call, "Ask");
  }
  FUZZ_CHECK(shell.started.size() <= 1);
  for (const FakeShell::Start& start : shell.started) {
    FUZZ_CHECK(start.parameters == args[kDownloadUrlArgument]);
    FUZZ_CHECK(!start.directoryGiven && start.showCommand == win::kShowNormal);
  }
  FUZZ_CHECK(dialogs <= 1);
  // The setting is read before and stored after the dialog, once each, and only then.
  FUZZ_CHECK(reads == dialogs && writes == dialogs);
  if (dialogs == 1) {
    FUZZ_CHECK(IndexOf(log, "GetPrivateProfileStringA") < IndexOf(log, "Ask"));
    const FakeProfile::Write& written = profile.writes.at(0);
    FUZZ_CHECK(written.section == args[kSettingsSectionArgument] &&
               written.key == args[kSettingsKeyArgument] &&
               written.file == kDirectory + args[kSettingsFileNameArgument]);
    FUZZ_CHECK(written.value == "0" || written.value == "1");
    FUZZ_CHECK(notice.shown.productName == request.productName);
  }
  // The downloaded file never stays behind in the program's directory.
  for (const auto& file : files.files) FUZZ_CHECK(!StartsWith(file.first, kDirectory));
  return 0;
}
