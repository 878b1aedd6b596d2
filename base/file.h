// An open file as the program reads and writes it, byte for byte: the run-time library's
// streams on Windows, bytes in memory for the tools and the tests. Destroying it closes
// the file.
#pragma once

#include <cstddef>
#include <string_view>

class File {
 public:
  virtual ~File() = default;
  // Places up to `size` bytes in `buffer` and returns their number: fewer at the end of
  // the file, or on a read error, which also sets `failed` (the bytes returned count).
  virtual size_t Read(char* buffer, size_t size, bool& failed) = 0;
  // Writes `size` bytes and returns how many were written: fewer on an error such as a
  // full disk. A file that is only read writes nothing.
  virtual size_t Write(const char* /*data*/, size_t /*size*/) { return 0; }
};

// Bytes already in memory, read as a file (the bytes are not copied).
class MemoryFile final : public File {
 public:
  explicit MemoryFile(std::string_view bytes) : bytes_(bytes) {}
  size_t Read(char* buffer, size_t size, bool& failed) override;

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};
