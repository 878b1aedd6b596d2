// Files on Windows: GetModuleFileNameA, GetTempPathA, DeleteFileA, CreateFileA,
// GetDiskFreeSpaceExA, GetFileAttributesExA and the run-time library's streams.
#pragma once

#include "platform/files.h"

class Win32Files final : public Files {
 public:
  uint32_t ModuleFileName(char* buffer, uint32_t size) override;
  uint32_t TempPath(char* buffer, uint32_t size) override;
  bool Delete(const std::string& path) override;
  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> OpenForWriting(const std::string& path) override;
  bool CreatePlaceholder(const std::string& path) override;
  bool FreeSpace(const std::string& directory, uint64_t& freeBytes) override;
  bool FileSize(const std::string& path, uint64_t& size) override;
};
