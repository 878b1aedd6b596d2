// The disable-checking setting: one value in the host's settings (INI) file, "1" when
// the notice dialog's box was ticked, "0" when not. The program only stores it; acting
// on it is the host's matter.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/profile_api.h"

struct SettingLocation {
  std::string file;  // full path of the host's settings file
  std::string section;
  std::string key;
};

// The box state a stored text stands for: when the text begins with a decimal integer
// (after white space and a sign), 1 if it is not 0 and 0 if it is; otherwise `current`,
// unchanged.
int32_t DisableCheckingFromText(const char* text, int32_t current);

// Free space a rewrite keeps in hand beyond the file and what the write adds: one
// allocation unit, for the file's last partly filled cluster.
constexpr uint64_t kRewriteMarginBytes = 4096;

// Whether `freeBytes` on the volume hold a settings file of `fileSize` bytes rewritten
// whole, `addedBytes` longer, with kRewriteMarginBytes to spare.
bool RoomToRewrite(uint64_t fileSize, uint64_t addedBytes, uint64_t freeBytes);

// The setting as the run flow uses it.
class HostSetting {
 public:
  virtual ~HostSetting() = default;
  // Sets `disableChecking` as the stored value says; a value that says nothing leaves it.
  virtual void Read(const SettingLocation& where, int32_t& disableChecking) = 0;
  // Stores "1" if `disableChecking` is not 0, else "0".
  virtual void Write(const SettingLocation& where, int32_t disableChecking) = 0;
};

// The setting in a profile file: read with the default "0", at most 9 characters of it.
// Written only when the free space on the file's volume holds the whole file rewritten
// (RoomToRewrite), or when that space cannot be found out; otherwise the write is
// skipped and the file is left as it was.
class ProfileHostSetting final : public HostSetting {
 public:
  ProfileHostSetting(ProfileApi& profile, Files& files) : profile_(profile), files_(files) {}
  void Read(const SettingLocation& where, int32_t& disableChecking) override;
  void Write(const SettingLocation& where, int32_t disableChecking) override;

 private:
  bool MayRewrite(const SettingLocation& where);

  ProfileApi& profile_;
  Files& files_;
};
