#include "tools/info/run/stand_ins_win.h"

#include <windows.h>

std::optional<std::string> DryFiles::ModulePath() {
  if (modulePath_.size() >= MAX_PATH) return std::nullopt;
  return modulePath_;
}

bool DryFiles::Delete(const std::string& path) {
  if (stored_.erase(path) != 0) return true;  // the download, which lies elsewhere
  if (deleted_.count(path) != 0 || !CanDelete(path)) return false;
  deleted_.insert(path);
  return true;
}

std::unique_ptr<File> DryFiles::OpenForWriting(const std::string& path) {
  if (!ProbeFileWrite(path).writable) return nullptr;
  stored_.insert(path);
  stored_once_ = true;
  return Win32Files::OpenForWriting(bodyPath_);
}

std::unique_ptr<File> DryFiles::OpenForReading(const std::string& path) {
  if (stored_.count(path) != 0) {
    read_ = BodyRead::kDownload;
    return Win32Files::OpenForReading(bodyPath_);
  }
  if (deleted_.count(path) != 0) return nullptr;
  std::unique_ptr<File> file = Win32Files::OpenForReading(path);
  if (file != nullptr) read_ = BodyRead::kStaleFile;
  return file;
}

uint32_t ReadOnlyProfileApi::GetPrivateProfileStringA(const char* section, const char* key,
                                                      const char* defaultValue, char* buffer,
                                                      uint32_t size, const char* fileName) {
  const uint32_t length =
      Win32ProfileApi::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
  lastRead.assign(buffer, length < size ? length : 0);
  return length;
}

namespace {

std::string SystemErrorText(DWORD error) {
  char text[256] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                     0, text, sizeof text, nullptr);
  std::string message(text, length);
  message.erase(message.find_last_not_of("\r\n .") + 1);  // its line break and full stop
  return message;
}

bool UnderProgramFiles(const std::string& path) {
  for (const char* variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
    char directory[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableA(variable, directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) continue;
    directory[length++] = '\\';
    // Without regard to case, as Windows compares names.
    if (path.size() >= length &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), static_cast<int>(length),
                       directory, static_cast<int>(length)) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

// Opens and closes at once; the probe's verdict and the error of a failure.
WriteProbe Probe(const std::string& path, DWORD disposition, DWORD flags) {
  WriteProbe probe;
  probe.path = path;
  probe.probed = true;
  probe.underProgramFiles = UnderProgramFiles(path);
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    probe.error = static_cast<long>(GetLastError());
    probe.errorText = SystemErrorText(static_cast<DWORD>(probe.error));
  } else {
    CloseHandle(file);
    probe.writable = true;
  }
  return probe;
}

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

WriteProbe ProbeFileWrite(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Created and gone again when the handle closes: the directory is as it was.
    return Probe(path, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE);
  }
  // Opened without truncation and closed without a byte written.
  WriteProbe probe = Probe(path, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  probe.exists = true;
  // The attribute only names the cause: whether the open succeeds is what Falwick meets
  // (Wine lets root open a read-only file for writing).
  probe.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return probe;
}

WriteProbe ProbeDirectoryWrite(const std::string& directory) {
  const std::string name =
      directory + "falwick-info-probe-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  WriteProbe probe = Probe(name, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE);
  probe.path = directory;
  probe.exists = true;
  return probe;
}

bool CanDelete(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) return false;
  // DeleteFileA needs delete access, and fails while another opener denies deletion.
  HANDLE file = CreateFileA(path.c_str(), DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}
