// Files and paths as the program uses them: its own module path, deleting a file, and
// reading or writing a whole file through the run-time library. Files are opened in
// binary mode and are not shared with other openers while open; the program does its
// own buffering.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// An open file; destroying it closes the file.
class File {
 public:
  virtual ~File() = default;
  // Places up to `size` bytes in `buffer` and returns their number: fewer at the end of
  // the file, or on a read error, which also sets `failed` (the bytes returned count).
  virtual size_t Read(char* buffer, size_t size, bool& failed) = 0;
  // Writes `size` bytes and returns how many were written: fewer on an error such as a
  // full disk.
  virtual size_t Write(const char* data, size_t size) = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  // The full path of the program's own module, into `buffer` of `size` characters and
  // NUL-ended, as GetModuleFileNameA reports it: its length; `size` when the path was
  // cut short; 0 on failure.
  virtual uint32_t ModuleFileName(char* buffer, uint32_t size) = 0;
  // False when the file could not be deleted: missing, read-only or open.
  virtual bool Delete(const std::string& path) = 0;
  // None when the file cannot be opened.
  virtual std::unique_ptr<File> OpenForReading(const std::string& path) = 0;
  // Creates the file or truncates it; none when that fails.
  virtual std::unique_ptr<File> OpenForWriting(const std::string& path) = 0;
};
