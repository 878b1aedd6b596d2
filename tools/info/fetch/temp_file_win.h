// A file of the tool's own in the temporary directory, for a download it makes: deleted
// when this goes.
#pragma once

#include <string>

class ToolTempFile {
 public:
  ToolTempFile();
  ~ToolTempFile();
  ToolTempFile(const ToolTempFile&) = delete;
  ToolTempFile& operator=(const ToolTempFile&) = delete;
  const std::string& path() const { return path_; }  // empty when none could be made

 private:
  std::string path_;
};
