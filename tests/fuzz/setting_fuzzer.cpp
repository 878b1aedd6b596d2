// The stored disable-checking value: arbitrary text through DisableCheckingFromText, and
// through the profile setting's read with its 10-character buffer, from profile calls that
// fill the buffer as Windows does and from ones that fill all of it without an ending NUL.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "update/host_setting.h"
#include "fake_system.h"
#include "fuzz_support.h"

namespace {

// What the text means by the C library's strtol: no number or one out of the 32-bit
// range leaves the box as it is.
int32_t ExpectedBox(const std::string& text, int32_t current) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
    return current;
  }
  return value != 0 ? 1 : 0;
}

// Copies the stored value into every byte of the buffer, with no room left for a NUL.
class OverfillingProfile : public FakeProfile {
 public:
  using FakeProfile::FakeProfile;
  std::string value;
  uint32_t GetPrivateProfileStringA(const char*, const char*, const char*, char* buffer,
                                    uint32_t size, const char*) override {
    for (uint32_t i = 0; i < size; ++i) buffer[i] = value.empty() ? '7' : value[i % value.size()];
    return size;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string stored(reinterpret_cast<const char*>(data), size);
  const std::string asCString = UpToNul(stored);
  for (const int32_t current : {0, 1}) {
    FUZZ_CHECK(DisableCheckingFromText(asCString.c_str(), current) ==
               ExpectedBox(asCString, current));
  }

  // Only the first nine characters reach the conversion.
  const SettingLocation where{"C:\\Apps\\Writer\\writer.ini", "Options", "NoUpdateCheck"};
  const std::string firstNine = asCString.substr(0, 9);
  CallLog log;
  FakeProfile profile(log);
  FakeFiles files(log);
  ProfileHostSetting setting(profile, files);
  profile.values[where.file + "|" + where.section + "|" + where.key] = stored;
  int32_t box = 1;
  setting.Read(where, box);
  FUZZ_CHECK(box == ExpectedBox(firstNine, 1));

  OverfillingProfile overfilling(log);
  overfilling.value = stored;
  std::string nine;
  for (size_t i = 0; i < 9; ++i) nine += stored.empty() ? '7' : stored[i % stored.size()];
  box = 0;
  ProfileHostSetting(overfilling, files).Read(where, box);
  FUZZ_CHECK(box == ExpectedBox(UpToNul(nine), 0));

  // Whatever was read, the stored value is "0" or "1".
  setting.Write(where, box);
  const std::string& written = profile.values[where.file + "|" + where.section + "|" + where.key];
  FUZZ_CHECK(written == (box != 0 ? "1" : "0"));
  return 0;
}
