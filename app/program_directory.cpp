#include "app/program_directory.h"

#include "base/ascii_case.h"

namespace {

constexpr uint32_t kPathBufferSize = 260;

}  // namespace

std::string ProgramDirectoryOf(std::string_view modulePath) {
  const size_t slash = modulePath.rfind('\\');
  std::string directory(slash == std::string_view::npos ? modulePath
                                                         : modulePath.substr(0, slash));
  directory += '\\';
  return directory;
}

std::optional<std::string> ProgramDirectory(Files& files) {
  char path[kPathBufferSize] = {};
  const uint32_t length = files.ModuleFileName(path, kPathBufferSize);
  // A result that fills the buffer means the path was cut short.
  if (length == 0 || length >= kPathBufferSize) return std::nullopt;
  return ProgramDirectoryOf(std::string_view(path, length));
}

bool SamePath(std::string_view a, std::string_view b) { return EqualsIgnoringAsciiCase(a, b); }
