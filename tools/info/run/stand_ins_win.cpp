#include "tools/info/run/stand_ins_win.h"

#include <windows.h>

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
