#include "app/host_setting.h"

#include "update/number_scan.h"

namespace {
constexpr uint32_t kValueBufferSize = 10;
}  // namespace

int32_t DisableCheckingFromText(const char* text, int32_t current) {
  const auto value = ScanInt(text);
  if (!value) return current;
  return *value != 0 ? 1 : 0;
}

void ProfileHostSetting::Read(const SettingLocation& where, int32_t& disableChecking) {
  char value[kValueBufferSize] = {};
  profile_.GetPrivateProfileStringA(where.section.c_str(), where.key.c_str(), "0", value,
                                    kValueBufferSize, where.file.c_str());
  value[kValueBufferSize - 1] = '\0';
  disableChecking = DisableCheckingFromText(value, disableChecking);
}

void ProfileHostSetting::Write(const SettingLocation& where, int32_t disableChecking) {
  profile_.WritePrivateProfileStringA(where.section.c_str(), where.key.c_str(),
                                      disableChecking != 0 ? "1" : "0", where.file.c_str());
}
