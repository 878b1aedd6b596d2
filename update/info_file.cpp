#include "update/info_file.h"

#include "base/text_mode_reader.h"

namespace {

// The open file as the text reader's byte source.
class FileSource : public ByteSource {
 public:
  explicit FileSource(File& file) : file_(file) {}
  size_t Read(char* buffer, size_t size, bool& failed) override {
    return file_.Read(buffer, size, failed);
  }

 private:
  File& file_;
};

}  // namespace

UpdateInfo ReadUpdateInfo(Files& files, const std::string& path,
                          const ProgramVersion& installed) {
  UpdateInfo info;
  info.newest = installed;
  // Closed before the deletion: an open file cannot be deleted.
  if (const std::unique_ptr<File> file = files.OpenForReading(path)) {
    FileSource source(*file);
    ReadUpdateInfoText(source, info);
  }
  files.Delete(path);
  return info;
}
