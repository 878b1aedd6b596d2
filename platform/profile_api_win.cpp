#include "platform/profile_api_win.h"

#include <windows.h>

static_assert(win::kGetFileExInfoStandard == GetFileExInfoStandard);

uint32_t Win32ProfileApi::GetPrivateProfileStringA(const char* section, const char* key,
                                                   const char* defaultValue, char* buffer,
                                                   uint32_t size, const char* fileName) {
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

bool Win32ProfileApi::WritePrivateProfileStringA(const char* section, const char* key,
                                                 const char* value, const char* fileName) {
  return ::WritePrivateProfileStringA(section, key, value, fileName) != FALSE;
}

bool Win32ProfileApi::GetDiskFreeSpaceExA(const char* directoryName,
                                          uint64_t* freeBytesAvailable, uint64_t* totalBytes,
                                          uint64_t* totalFreeBytes) {
  ULARGE_INTEGER available = {};
  ULARGE_INTEGER total = {};
  ULARGE_INTEGER free = {};
  if (::GetDiskFreeSpaceExA(directoryName, &available, &total, &free) == FALSE) return false;
  if (freeBytesAvailable != nullptr) *freeBytesAvailable = available.QuadPart;
  if (totalBytes != nullptr) *totalBytes = total.QuadPart;
  if (totalFreeBytes != nullptr) *totalFreeBytes = free.QuadPart;
  return true;
}

bool Win32ProfileApi::GetFileAttributesExA(const char* fileName, uint32_t infoLevel,
                                           FileAttributeData* data) {
  WIN32_FILE_ATTRIBUTE_DATA found = {};
  if (::GetFileAttributesExA(fileName, static_cast<GET_FILEEX_INFO_LEVELS>(infoLevel),
                             &found) == FALSE) {
    return false;
  }
  data->fileAttributes = found.dwFileAttributes;
  data->fileSizeHigh = found.nFileSizeHigh;
  data->fileSizeLow = found.nFileSizeLow;
  return true;
}
