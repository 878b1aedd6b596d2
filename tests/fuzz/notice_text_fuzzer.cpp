// The notice text: arbitrary templates, product names, versions and maker's messages
// through FormatNoticeTemplate, ChooseNoticeText, ComposeNoticeText and
// FormatDisplayVersion.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "update/notice_text.h"
#include "update/program_version.h"
#include "update/info_file.h"

namespace {

struct Directives {
  size_t strings = 0;   // "%s"
  size_t percents = 0;  // "%%"
  bool others = false;  // any other use of "%"
};

Directives CountDirectives(const std::string& format) {
  Directives d;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == 's') {
      ++d.strings;
      ++i;
    } else if (i + 1 < format.size() && format[i + 1] == '%') {
      ++d.percents;
      ++i;
    } else {
      d.others = true;
    }
  }
  return d;
}

bool HasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

void CheckTemplate(const std::string& format, const std::string& first,
                   const std::string& second) {
  const std::string result = FormatNoticeTemplate(format, first, second);
  const Directives d = CountDirectives(format);
  // Each "%s" up to two takes its argument's whole length, "%%" one character.
  size_t expected = format.size() - 2 * d.strings - d.percents;
  if (d.strings >= 1) expected += first.size();
  if (d.strings >= 2) expected += second.size();
  FUZZ_CHECK(result.size() == expected);
  // The product name appears verbatim, however it looks.
  if (d.strings >= 1) FUZZ_CHECK(result.find(first) != std::string::npos);
  if (d.strings >= 2) FUZZ_CHECK(result.find(second) != std::string::npos);

  // Where the C library's formatting is defined for the template, the result is its.
  if (!d.others && d.strings <= 2 && !HasNul(format) && !HasNul(first) && !HasNul(second)) {
    std::vector<char> buffer(expected + 1);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int length =
        std::snprintf(buffer.data(), buffer.size(), format.c_str(), first.c_str(), second.c_str());
#pragma GCC diagnostic pop
    FUZZ_CHECK(length == static_cast<int>(expected));
    FUZZ_CHECK(result == std::string(buffer.data(), expected));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string format = provider.ConsumeRandomLengthString(512);
  const std::string productName = provider.ConsumeRandomLengthString(512);
  const std::string installedText = provider.ConsumeRandomLengthString(64);
  const Messages messages = {provider.ConsumeRandomLengthString(1024),
                              provider.ConsumeRandomLengthString(1024),
                              provider.ConsumeRandomLengthString(1024)};
  const int32_t build = provider.ConsumeIntegral<int32_t>();
  const double version = provider.ConsumeFloatingPoint<double>();

  // The display version, of a parsed installed version and of any number at all.
  const ProgramVersion parsed = ParseInstalledVersion(installedText);
  const std::string displayVersion = FormatDisplayVersion(parsed);
  FUZZ_CHECK(displayVersion == ExpectedDisplayVersion(parsed));
  const ProgramVersion any{version, build};
  FUZZ_CHECK(FormatDisplayVersion(any) == ExpectedDisplayVersion(any));

  CheckTemplate(format, productName, displayVersion);

  const std::string notice = ComposeNoticeText(messages);
  size_t length = 0;
  size_t count = 0;
  for (const std::string& message : messages) {
    if (message.empty()) continue;
    if (count++ == 0) FUZZ_CHECK(StartsWith(notice, message));
    length += message.size();
  }
  FUZZ_CHECK(notice.size() == length + (count > 1 ? 4 * (count - 1) : 0));
  if (!messages[2].empty()) FUZZ_CHECK(EndsWith(notice, messages[2]));

  // The maker's text, when there is any, replaces the template unchanged.
  const std::string shown = ChooseNoticeText(notice, format, productName, displayVersion);
  if (!notice.empty()) {
    FUZZ_CHECK(shown == notice);
  } else {
    FUZZ_CHECK(shown == FormatNoticeTemplate(format, productName, displayVersion));
  }
  return 0;
}
