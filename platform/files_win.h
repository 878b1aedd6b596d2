// Files on Windows: GetModuleFileNameA, DeleteFileA and the run-time library's streams.
#pragma once

#include "platform/files.h"

class Win32Files final : public Files {
 public:
  uint32_t ModuleFileName(char* buffer, uint32_t size) override;
  bool Delete(const std::string& path) override;
  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> OpenForWriting(const std::string& path) override;
};
