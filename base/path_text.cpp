#include "base/path_text.h"

std::string DirectoryOf(std::string_view path) {
  const size_t slash = path.rfind('\\');
  std::string directory(slash == std::string_view::npos ? path : path.substr(0, slash));
  directory += '\\';
  return directory;
}
