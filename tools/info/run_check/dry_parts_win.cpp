#include "tools/info/run_check/dry_parts_win.h"

#include <windows.h>

#include <cstring>

std::string ReadFileBytes(Files& files, const std::string& path, size_t limit) {
  std::string bytes;
  const std::unique_ptr<File> file = files.OpenForReading(path);
  if (file == nullptr) return bytes;
  char buffer[65536];
  while (bytes.size() < limit) {
    bool failed = false;
    const size_t want = limit - bytes.size() < sizeof buffer ? limit - bytes.size() : sizeof buffer;
    const size_t got = file->Read(buffer, want, failed);
    bytes.append(buffer, got);
    if (got < want) break;
  }
  return bytes;
}

ToolTempFile::ToolTempFile() {
  char directory[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof directory, directory);
  char name[MAX_PATH + 1] = {};
  if (length > 0 && length < sizeof directory &&
      GetTempFileNameA(directory, "fwi", 0, name) != 0) {
    path_ = name;
  }
}

ToolTempFile::~ToolTempFile() {
  if (!path_.empty()) DeleteFileA(path_.c_str());
}

std::optional<std::string> DryFiles::ModulePath() {
  if (modulePath_.size() >= MAX_PATH) return std::nullopt;
  return modulePath_;
}

bool DryFiles::Delete(const std::string& path) {
  if (stored_.erase(path) != 0) return true;  // the download, which lies elsewhere
  if (deleted_.count(path) != 0 || !CanDelete(path)) return false;
  deleted_.insert(path);
  return true;
}

std::unique_ptr<File> DryFiles::OpenForWriting(const std::string& path) {
  if (!ProbeFileWrite(path).writable) return nullptr;
  stored_.insert(path);
  stored_once_ = true;
  return real_.OpenForWriting(bodyPath_);
}

std::unique_ptr<File> DryFiles::OpenForReading(const std::string& path) {
  if (stored_.count(path) != 0) {
    read_ = BodyRead::kDownload;
    return real_.OpenForReading(bodyPath_);
  }
  if (deleted_.count(path) != 0) return nullptr;
  std::unique_ptr<File> file = real_.OpenForReading(path);
  if (file != nullptr) read_ = BodyRead::kStaleFile;
  return file;
}

uint32_t ReadOnlyProfileApi::GetPrivateProfileStringA(const char* section, const char* key,
                                                      const char* defaultValue, char* buffer,
                                                      uint32_t size, const char* fileName) {
  const uint32_t length =
      real_.GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
  lastRead.assign(buffer, length < size ? length : 0);
  return length;
}
