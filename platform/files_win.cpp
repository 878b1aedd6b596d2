#include "platform/files_win.h"

#include <windows.h>

#include <share.h>
#include <stdio.h>

namespace {

struct StreamCloser {
  void operator()(FILE* stream) const { (void)fclose(stream); }
};

class StreamFile final : public File {
 public:
  explicit StreamFile(FILE* stream) : stream_(stream) {}

  size_t Read(char* buffer, size_t size, bool& failed) override {
    const size_t count = fread(buffer, 1, size, stream_.get());
    failed = count < size && ferror(stream_.get()) != 0;
    return count;
  }

  size_t Write(const char* data, size_t size) override {
    return fwrite(data, 1, size, stream_.get());
  }

 private:
  std::unique_ptr<FILE, StreamCloser> stream_;
};

// Binary mode: the text-mode rules are applied by the reader itself. Denying other
// openers keeps a second run from reading a half-written download.
std::unique_ptr<File> Open(const std::string& path, const char* mode) {
  FILE* stream = _fsopen(path.c_str(), mode, _SH_DENYRW);
  if (stream == nullptr) return nullptr;
  // The program buffers by itself; the library's buffer would only add a copy.
  (void)setvbuf(stream, nullptr, _IONBF, 0);
  return std::make_unique<StreamFile>(stream);
}

}  // namespace

uint32_t Win32Files::ModuleFileName(char* buffer, uint32_t size) {
  return GetModuleFileNameA(nullptr, buffer, size);
}

bool Win32Files::Delete(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

std::unique_ptr<File> Win32Files::OpenForReading(const std::string& path) {
  return Open(path, "rb");
}

std::unique_ptr<File> Win32Files::OpenForWriting(const std::string& path) {
  return Open(path, "wb");
}
