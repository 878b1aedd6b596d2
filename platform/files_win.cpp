#include "platform/files_win.h"

#include <windows.h>

#include <share.h>
#include <stdio.h>

#include <cstring>

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

// The ANSI functions take paths of fewer than MAX_PATH characters, and so does the
// program; a path in UTF-16 made from one needs no more room than its bytes.
constexpr DWORD kPathBufferSize = MAX_PATH;
constexpr int kWideBufferSize = 2 * MAX_PATH;

std::u16string FromWide(const wchar_t* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// The full path Windows opens for `path`, into `full`: GetFullPathNameW takes the "."
// and ".." steps and drops the trailing dots and spaces of the last name, as CreateFile
// does. False for a path too long for the ANSI functions, which then open nothing.
bool FullPath(const std::string& path, wchar_t (&full)[kWideBufferSize]) {
  wchar_t wide[kWideBufferSize];
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, kWideBufferSize) == 0) return false;
  const DWORD length = GetFullPathNameW(wide, kWideBufferSize, full, nullptr);
  return length > 0 && length < static_cast<DWORD>(kWideBufferSize);
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

}  // namespace

std::string Win32PathNames::ToAnsi(std::u16string_view path) const {
  // No flags: characters the code page lacks become their best-fit look-alikes or the
  // default character, as in the ANSI functions' own conversion.
  char ansi[2 * kWideBufferSize];
  const int length = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(path.data()),
                                         static_cast<int>(path.size()), ansi, sizeof ansi,
                                         nullptr, nullptr);
  return std::string(ansi, length > 0 ? static_cast<size_t>(length) : 0);
}

std::u16string Win32PathNames::FromAnsi(std::string_view path) const {
  wchar_t wide[kWideBufferSize];
  const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                         wide, kWideBufferSize);
  return FromWide(wide, length > 0 ? static_cast<size_t>(length) : 0);
}

std::u16string Win32PathNames::ShortForm(const std::u16string& path) const {
  // 0 when the path does not exist; the long names themselves where the volume keeps
  // no short names (fsutil 8dot3name).
  wchar_t shortForm[kWideBufferSize];
  const DWORD length = GetShortPathNameW(reinterpret_cast<const wchar_t*>(path.c_str()),
                                         shortForm, kWideBufferSize);
  if (length >= static_cast<DWORD>(kWideBufferSize)) return std::u16string();
  return FromWide(shortForm, length);
}

std::optional<SpelledPath> SpellPath(const std::u16string& path) {
  SpelledPath spelled = SpellForAnsi(Win32PathNames(), path);
  if (spelled.text.size() >= kPathBufferSize) return std::nullopt;
  return spelled;
}

std::optional<SpelledPath> SpelledTempDirectory() {
  wchar_t path[kPathBufferSize];
  // The length without the NUL, or, when the buffer is too small, the size it needs.
  const DWORD length = GetTempPathW(kPathBufferSize, path);
  if (length == 0 || length >= kPathBufferSize) return std::nullopt;
  std::optional<SpelledPath> directory = SpellPath(FromWide(path, length));
  if (directory && (directory->text.empty() || directory->text.back() != '\\')) {
    directory->text += '\\';
  }
  return directory;
}

std::optional<std::string> Win32Files::ModulePath() {
  wchar_t path[kPathBufferSize];
  const DWORD length = GetModuleFileNameW(nullptr, path, kPathBufferSize);
  // A result that fills the buffer means the path was cut short: it would name the
  // wrong place.
  if (length == 0 || length >= kPathBufferSize) return std::nullopt;
  std::optional<SpelledPath> spelled = SpellPath(FromWide(path, length));
  if (!spelled) return std::nullopt;
  return std::move(spelled->text);
}

std::optional<std::string> Win32Files::TempDirectory() {
  std::optional<SpelledPath> spelled = SpelledTempDirectory();
  if (!spelled) return std::nullopt;
  return std::move(spelled->text);
}

bool Win32Files::SameName(const std::string& a, const std::string& b) {
  // Case as the file system folds it: the ordinal comparison without case is the one
  // Windows documents for file names, on the same upper-case table.
  wchar_t first[kWideBufferSize];
  wchar_t second[kWideBufferSize];
  return FullPath(a, first) && FullPath(b, second) &&
         CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL;
}

std::optional<FileId> Win32Files::Identify(const std::string& path) {
  // Only the attributes are asked for: neither other openers' share modes nor the file's
  // own permissions to read it stand in the way. Links are followed, as every other call
  // here follows them.
  HANDLE opened = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::unique_ptr<void, HandleCloser> file(opened);
  FileId id;
  // The 128-bit id where Windows has it (8 and later; ReFS needs it): the 64-bit index
  // is not unique there.
  FILE_ID_INFO full = {};
  if (GetFileInformationByHandleEx(file.get(), FileIdInfo, &full, sizeof full) != FALSE) {
    id.volume = full.VolumeSerialNumber;
    std::memcpy(&id.high, full.FileId.Identifier + 8, sizeof id.high);
    std::memcpy(&id.low, full.FileId.Identifier, sizeof id.low);
    return id;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (GetFileInformationByHandle(file.get(), &info) == FALSE) return std::nullopt;
  id.volume = info.dwVolumeSerialNumber;
  id.low = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  return id;
}

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
