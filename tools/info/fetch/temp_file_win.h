// A file of the tool's own in the temporary directory, for a download it makes: deleted
// when this goes.
#pragma once

#include <windows.h>

#include <string>

class ToolTempFile {
 public:
  ToolTempFile() {
    char directory[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof directory, directory);
    char name[MAX_PATH + 1] = {};
    if (length > 0 && length < sizeof directory &&
        GetTempFileNameA(directory, "fwi", 0, name) != 0) {
      path_ = name;
    }
  }
  ~ToolTempFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
  }
  ToolTempFile(const ToolTempFile&) = delete;
  ToolTempFile& operator=(const ToolTempFile&) = delete;
  const std::string& path() const { return path_; }  // empty when none could be made

 private:
  std::string path_;
};
