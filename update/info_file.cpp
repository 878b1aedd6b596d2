#include "update/info_file.h"

UpdateInfo ReadUpdateInfo(Files& files, const std::string& path,
                          const ProgramVersion& installed) {
  UpdateInfo info;
  info.newest = installed;
  // Closed before the deletion: an open file cannot be deleted.
  if (const std::unique_ptr<File> file = files.OpenForReading(path)) {
    ReadUpdateInfoText(*file, info);
  }
  files.Delete(path);
  return info;
}
