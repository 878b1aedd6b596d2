#include "platform/profile_api_win.h"

#include <windows.h>

uint32_t Win32ProfileApi::GetPrivateProfileStringA(const char* section, const char* key,
                                                   const char* defaultValue, char* buffer,
                                                   uint32_t size, const char* fileName) {
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

bool Win32ProfileApi::WritePrivateProfileStringA(const char* section, const char* key,
                                                 const char* value, const char* fileName) {
  return ::WritePrivateProfileStringA(section, key, value, fileName) != FALSE;
}
