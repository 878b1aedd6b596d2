#include "app/run_paths.h"

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

std::optional<RunEnd> FindRunPaths(Files& files, const UpdateRequest& request, RunPaths& paths) {
  const auto& args = request.arguments;
  std::optional<std::string> directory = ProgramDirectory(files);
  if (!directory) return RunEnd::kPathTooLong;
  paths.directory = std::move(*directory);
  paths.info = paths.directory + args[kInfoFileNameArgument];
  paths.setting = {paths.directory + args[kSettingsFileNameArgument],
                   args[kSettingsSectionArgument], args[kSettingsKeyArgument]};
  // Deleting and rewriting the info file would destroy the host's settings.
  if (SamePath(paths.info, paths.setting.file)) return RunEnd::kSameFile;
  return std::nullopt;
}
