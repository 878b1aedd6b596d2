#include "update/host_setting.h"

#include "base/number_scan.h"
#include "base/path_text.h"

namespace {
constexpr uint32_t kValueBufferSize = 10;
// A new section and key: "[", "]", CR LF around the section, "=", the one-character
// value and CR LF after the key.
constexpr uint64_t kNewEntryFrameBytes = 8;
}  // namespace

int32_t DisableCheckingFromText(const char* text, int32_t current) {
  const auto value = ScanInt(text);
  if (!value) return current;
  return *value != 0 ? 1 : 0;
}

bool RoomToRewrite(uint64_t fileSize, uint64_t addedBytes, uint64_t freeBytes) {
  // Subtracted rather than added up: no sum of sizes can wrap around.
  if (freeBytes < fileSize) return false;
  const uint64_t spare = freeBytes - fileSize;
  return spare >= addedBytes && spare - addedBytes >= kRewriteMarginBytes;
}

void ProfileHostSetting::Read(const SettingLocation& where, int32_t& disableChecking) {
  char value[kValueBufferSize] = {};
  profile_.GetPrivateProfileStringA(where.section.c_str(), where.key.c_str(), "0", value,
                                    kValueBufferSize, where.file.c_str());
  value[kValueBufferSize - 1] = '\0';
  disableChecking = DisableCheckingFromText(value, disableChecking);
}

void ProfileHostSetting::Write(const SettingLocation& where, int32_t disableChecking) {
  if (!MayRewrite(where)) return;
  profile_.WritePrivateProfileStringA(where.section.c_str(), where.key.c_str(),
                                      disableChecking != 0 ? "1" : "0", where.file.c_str());
}

// The profile writer rewrites the whole file, and on a disk that fills up meanwhile it
// reports success with the file cut off (Wine: at a page boundary, its last sections
// gone). Losing the box's new state is the lesser harm than losing the host's file.
bool ProfileHostSetting::MayRewrite(const SettingLocation& where) {
  uint64_t available = 0;
  // A volume that does not tell its free space gets the write as before: skipping it
  // would lose the box on every run there, writing loses the file only on a full disk.
  if (!files_.FreeSpace(DirectoryOf(where.file), available)) return true;
  uint64_t size = 0;
  if (!files_.FileSize(where.file, size)) size = 0;  // a missing file: nothing to rewrite
  const uint64_t added = where.section.size() + where.key.size() + kNewEntryFrameBytes;
  return RoomToRewrite(size, added, available);
}
