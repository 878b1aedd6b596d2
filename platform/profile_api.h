// The Windows profile (INI file) calls, and the two file-system questions asked before
// a profile file is rewritten, each mirroring the function of its name with the same
// arguments.
#pragma once

#include <cstdint>

// The values the setting passes; the Windows build checks each one against the system
// headers.
namespace win {
constexpr uint32_t kGetFileExInfoStandard = 0;  // GET_FILEEX_INFO_LEVELS
}  // namespace win

// The part of WIN32_FILE_ATTRIBUTE_DATA the setting reads (the times are left out).
struct FileAttributeData {
  uint32_t fileAttributes = 0;
  uint32_t fileSizeHigh = 0;
  uint32_t fileSizeLow = 0;
};

class ProfileApi {
 public:
  virtual ~ProfileApi() = default;
  virtual uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                            const char* defaultValue, char* buffer,
                                            uint32_t size, const char* fileName) = 0;
  virtual bool WritePrivateProfileStringA(const char* section, const char* key,
                                          const char* value, const char* fileName) = 0;
  // The three counts in bytes, as the ULARGE_INTEGERs of the call; any may be null.
  virtual bool GetDiskFreeSpaceExA(const char* directoryName, uint64_t* freeBytesAvailable,
                                   uint64_t* totalBytes, uint64_t* totalFreeBytes) = 0;
  virtual bool GetFileAttributesExA(const char* fileName, uint32_t infoLevel,
                                    FileAttributeData* data) = 0;
};
