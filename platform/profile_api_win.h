// The profile calls on Windows: each forwards to the function of its name.
#pragma once

#include "platform/profile_api.h"

class Win32ProfileApi : public ProfileApi {
 public:
  uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                    const char* defaultValue, char* buffer, uint32_t size,
                                    const char* fileName) override;
  bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                  const char* fileName) override;
};
