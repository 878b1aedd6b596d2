#include "app/run_paths.h"

#include "base/path_text.h"

std::optional<std::string> ProgramDirectory(Files& files) {
  const std::optional<std::string> path = files.ModulePath();
  if (!path) return std::nullopt;
  return DirectoryOf(*path);
}

std::optional<RunEnd> FindRunPaths(Files& files, const UpdateRequest& request, RunPaths& paths) {
  const auto& args = request.arguments;
  std::optional<std::string> directory = ProgramDirectory(files);
  if (!directory) return RunEnd::kPathTooLong;
  paths.directory = std::move(*directory);
  paths.info = paths.directory + args[kInfoFileNameArgument];
  paths.setting = {paths.directory + args[kSettingsFileNameArgument],
                   args[kSettingsSectionArgument], args[kSettingsKeyArgument]};
  // Deleting and rewriting the info file would destroy the host's settings, under any of
  // the names Windows accepts for them.
  if (NameOneFile(files, paths.info, paths.setting.file)) return RunEnd::kSameFile;
  return std::nullopt;
}
