// Everything the program does with files and paths: its own module path, the temporary
// directory, deleting a file, reading or writing a whole file through the run-time
// library, the browser lookup's placeholder, and the two questions asked before a
// settings file is rewritten. Files are opened in binary mode and are not shared with
// other openers while open; the program does its own buffering.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/file.h"

class Files {
 public:
  virtual ~Files() = default;
  // The full path of the program's own module, into `buffer` of `size` characters and
  // NUL-ended, as GetModuleFileNameA reports it: its length; `size` when the path was
  // cut short; 0 on failure.
  virtual uint32_t ModuleFileName(char* buffer, uint32_t size) = 0;
  // The user's temporary directory, ending in a backslash, into `buffer` of `size`
  // characters, as GetTempPathA reports it: its length; when it does not fit, the size
  // it needs; 0 on failure.
  virtual uint32_t TempPath(char* buffer, uint32_t size) = 0;
  // False when the file could not be deleted: missing, read-only or open.
  virtual bool Delete(const std::string& path) = 0;
  // None when the file cannot be opened.
  virtual std::unique_ptr<File> OpenForReading(const std::string& path) = 0;
  // Creates the file or truncates it; none when that fails.
  virtual std::unique_ptr<File> OpenForWriting(const std::string& path) = 0;
  // Creates `path` as a new empty file that is left open and goes when the process ends.
  // False when it exists already or cannot be created.
  virtual bool CreatePlaceholder(const std::string& path) = 0;
  // The bytes free to this user on the volume of `directory`; false when the volume
  // does not tell.
  virtual bool FreeSpace(const std::string& directory, uint64_t& freeBytes) = 0;
  // The size of the file `path`; false when there is no such file or it cannot be told.
  virtual bool FileSize(const std::string& path, uint64_t& size) = 0;
};
