#include "base/file.h"

#include <cstring>

size_t MemoryFile::Read(char* buffer, size_t size, bool& failed) {
  failed = false;
  const size_t count = size < bytes_.size() - position_ ? size : bytes_.size() - position_;
  std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return count;
}
