// The disable-checking setting: one value in the host's settings (INI) file, "1" when
// the notice dialog's checkbox was ticked, "0" when not. The program only stores it;
// acting on it is the host's matter.
#pragma once

#include <cstdint>
#include <string>

class Platform;

struct SettingLocation {
  std::string file;  // full path of the host's settings file
  std::string section;
  std::string key;
};

// The checkbox state a stored text stands for: when the text begins with a decimal
// integer (after white space and a sign), 1 if it is not 0 and 0 if it is; otherwise
// `current`, unchanged.
int32_t DisableCheckingFromText(const char* text, int32_t current);

// Reads the value (default "0", at most 9 characters) into `disableChecking`.
void ReadDisableChecking(Platform& platform, const SettingLocation& where,
                         int32_t& disableChecking);

// Writes "1" if `disableChecking` is not 0, else "0".
void WriteDisableChecking(Platform& platform, const SettingLocation& where,
                          int32_t disableChecking);
