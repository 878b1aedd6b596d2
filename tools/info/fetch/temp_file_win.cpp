#include "tools/info/fetch/temp_file_win.h"

#include <windows.h>

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
