// Everything the program does with files and paths: its own module path, the temporary
// directory, whether two paths name one file, deleting a file, reading or writing a whole
// file through the run-time library, the browser lookup's placeholder, and the two
// questions asked before a settings file is rewritten. Paths are text in the ANSI code
// page, as the ANSI functions take them. Files are opened in binary mode and are not
// shared with other openers while open; the program does its own buffering.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/file.h"

// A file as its volume knows it: the same for every name of the file (its 8.3 short
// name, a hard or symbolic link, its data stream).
struct FileId {
  uint64_t volume = 0;
  uint64_t high = 0;  // the file's index on the volume (128 bits on ReFS)
  uint64_t low = 0;
  bool operator==(const FileId& other) const {
    return volume == other.volume && high == other.high && low == other.low;
  }
};

class Files {
 public:
  virtual ~Files() = default;
  // The full path of the program's own module, spelled so that the ANSI functions find
  // it (platform/path_spelling.h); none when it cannot be had whole.
  virtual std::optional<std::string> ModulePath() = 0;
  // The user's temporary directory, ending in a backslash, spelled likewise; none when
  // it cannot be had.
  virtual std::optional<std::string> TempDirectory() = 0;
  // Whether Windows resolves `a` and `b` to one path: equal once both are made full
  // paths (their "." and ".." steps taken, trailing dots and spaces of each name
  // dropped), but for case as the file system folds it.
  virtual bool SameName(const std::string& a, const std::string& b) = 0;
  // The file at `path` while there is one; none when nothing can be opened there.
  virtual std::optional<FileId> Identify(const std::string& path) = 0;
  // False when the file could not be deleted: missing, read-only or open.
  virtual bool Delete(const std::string& path) = 0;
  // None when the file cannot be opened.
  virtual std::unique_ptr<File> OpenForReading(const std::string& path) = 0;
  // Creates the file or truncates it; none when that fails.
  virtual std::unique_ptr<File> OpenForWriting(const std::string& path) = 0;
  // Creates `path` as a new empty file that is held open, shared with no one, and goes
  // when the process ends; until then it cannot be deleted. False when it exists
  // already or cannot be created.
  virtual bool CreatePlaceholder(const std::string& path) = 0;
  // The bytes free to this user on the volume of `directory`; false when the volume
  // does not tell.
  virtual bool FreeSpace(const std::string& directory, uint64_t& freeBytes) = 0;
  // The size of the file `path`; false when there is no such file or it cannot be told.
  virtual bool FileSize(const std::string& path, uint64_t& size) = 0;
};

// Whether `a` and `b` name one file: the same path as Windows resolves it, or, where
// both exist, the same file on the same volume.
bool NameOneFile(Files& files, const std::string& a, const std::string& b);
