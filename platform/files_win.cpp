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

uint32_t Win32Files::TempPath(char* buffer, uint32_t size) { return GetTempPathA(size, buffer); }

bool Win32Files::Delete(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

std::unique_ptr<File> Win32Files::OpenForReading(const std::string& path) {
  return Open(path, "rb");
}

std::unique_ptr<File> Win32Files::OpenForWriting(const std::string& path) {
  return Open(path, "wb");
}

// The handle is not closed: the delete-on-close flag removes the file when the process
// ends, and until then no other process can open it.
bool Win32Files::CreatePlaceholder(const std::string& path) {
  return CreateFileA(path.c_str(), 0, 0, nullptr, CREATE_NEW,
                     FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_DELETE_ON_CLOSE,
                     nullptr) != INVALID_HANDLE_VALUE;
}

bool Win32Files::FreeSpace(const std::string& directory, uint64_t& freeBytes) {
  ULARGE_INTEGER available = {};
  ULARGE_INTEGER total = {};
  ULARGE_INTEGER free = {};
  if (GetDiskFreeSpaceExA(directory.c_str(), &available, &total, &free) == FALSE) return false;
  freeBytes = available.QuadPart;
  return true;
}

bool Win32Files::FileSize(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA found = {};
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &found) == FALSE) return false;
  size = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
  return true;
}
