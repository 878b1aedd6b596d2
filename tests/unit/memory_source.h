// A File over bytes in memory, handing them out in chunks of a chosen size and
// optionally failing at a chosen offset.
#pragma once

#include <cstring>
#include <string>

#include "base/text_mode_reader.h"

class MemorySource : public File {
 public:
  explicit MemorySource(std::string bytes, size_t chunk = 1 << 20,
                        size_t failAt = std::string::npos)
      : bytes_(std::move(bytes)), chunk_(chunk), failAt_(failAt) {}

  size_t Read(char* buffer, size_t size, bool& failed) override {
    size_t count = bytes_.size() - position_;
    if (count > size) count = size;
    if (count > chunk_) count = chunk_;
    failed = false;
    if (failAt_ != std::string::npos && position_ + count >= failAt_) {
      count = failAt_ - position_;
      failed = true;
    }
    std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    return count;
  }

 private:
  std::string bytes_;
  size_t chunk_;
  size_t failAt_;
  size_t position_ = 0;
};
