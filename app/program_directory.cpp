#include "app/program_directory.h"

#include "base/path_text.h"

namespace {

constexpr uint32_t kPathBufferSize = 260;

}  // namespace

std::optional<std::string> ProgramDirectory(Files& files) {
  char path[kPathBufferSize] = {};
  const uint32_t length = files.ModuleFileName(path, kPathBufferSize);
  // A result that fills the buffer means the path was cut short.
  if (length == 0 || length >= kPathBufferSize) return std::nullopt;
  return DirectoryOf(std::string_view(path, length));
}
