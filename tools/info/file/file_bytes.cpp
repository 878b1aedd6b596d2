#include "tools/info/file/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>

std::optional<std::string> ReadFileBytes(const std::string& path, size_t limit,
                                         std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::string bytes;
  char buffer[65536];
  while (bytes.size() < limit) {
    const size_t want = std::min(sizeof buffer, limit - bytes.size());
    const size_t got = std::fread(buffer, 1, want, file);
    bytes.append(buffer, got);
    if (got < want) break;
  }
  const bool failed = std::ferror(file) != 0;
  if (failed) error = std::strerror(errno);
  (void)std::fclose(file);
  if (failed) return std::nullopt;
  return bytes;
}
