// The Windows profile (INI file) calls, each mirroring the function of its name with the
// same arguments.
#pragma once

#include <cstdint>

class ProfileApi {
 public:
  virtual ~ProfileApi() = default;
  virtual uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                            const char* defaultValue, char* buffer,
                                            uint32_t size, const char* fileName) = 0;
  virtual bool WritePrivateProfileStringA(const char* section, const char* key,
                                          const char* value, const char* fileName) = 0;
};
