#include "fake_platform.h"

#include <cstring>

#include "app/update_check_app.h"

namespace {

std::string Text(const char* value) { return value == nullptr ? "null" : value; }
std::string Ptr(const void* value) {
  return value == nullptr ? "null" : Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value)));
}
void* Handle(uintptr_t value) { return reinterpret_cast<void*>(value); }

// Copies `text` into a buffer of `size` the way Windows does: cut to size - 1, NUL ended.
uint32_t Fill(char* buffer, uint32_t size, const std::string& text) {
  const size_t length = text.size() < size ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<uint32_t>(length);
}

class FakeNoticeDialog : public NoticeDialog {
 public:
  explicit FakeNoticeDialog(FakePlatform& platform) : platform_(platform) {}
  int DoModal() override {
    platform_.calls.push_back("DoModal()");
    running_ = true;
    platform_.dialogRan = true;
    platform_.dialogShown = *this;
    if (platform_.app != nullptr) platform_.mainWindowDuringDialog = platform_.app->MainWindow();
    if (platform_.boxAfterDialog >= 0) disableChecking = platform_.boxAfterDialog;
    running_ = false;
    return platform_.dialogResult;
  }
  WindowHandle Window() const override {
    return running_ ? Handle(FakePlatform::kDialogWindow) : nullptr;
  }

 private:
  FakePlatform& platform_;
  bool running_ = false;
};

}  // namespace

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

std::vector<std::string> FakePlatform::CallsNamed(const std::string& name) const {
  std::vector<std::string> result;
  for (const auto& call : calls) {
    if (call.compare(0, name.size() + 1, name + "(") == 0) result.push_back(call);
  }
  return result;
}

int FakePlatform::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].compare(0, name.size() + 1, name + "(") == 0) return static_cast<int>(i);
  }
  return -1;
}

uint32_t FakePlatform::GetModuleFileNameA(char* buffer, uint32_t size) {
  Log("GetModuleFileNameA(" + std::to_string(size) + ")");
  const uint32_t length = Fill(buffer, size, modulePath);
  return moduleResult != 0 ? moduleResult : length;
}

uint32_t FakePlatform::GetTempPathA(uint32_t size, char* buffer) {
  Log("GetTempPathA(" + std::to_string(size) + ")");
  if (tempPath.size() >= size) return static_cast<uint32_t>(tempPath.size() + 1);
  const uint32_t length = Fill(buffer, size, tempPath);
  return tempResult != 0 ? tempResult : length;
}

SystemHandle FakePlatform::CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                                       uint32_t disposition, uint32_t flags) {
  Log("CreateFileA(" + Text(path) + ", " + std::to_string(access) + ", " +
      std::to_string(shareMode) + ", " + std::to_string(disposition) + ", " + Hex(flags) + ")");
  if (files.count(path) != 0) return Handle(static_cast<uintptr_t>(-1));
  files[path] = "";
  return Handle(0x300);
}

bool FakePlatform::DeleteFileA(const char* path) {
  Log("DeleteFileA(" + Text(path) + ")");
  if (readOnly.count(path) != 0) return false;
  return files.erase(path) != 0;
}

FileHandle FakePlatform::FsOpen(const char* path, const char* mode, int shareFlag) {
  Log("FsOpen(" + Text(path) + ", " + Text(mode) + ", " + Hex(static_cast<uint32_t>(shareFlag)) +
      ")");
  const bool writing = std::strchr(mode, 'w') != nullptr;
  if (writing) {
    if (readOnly.count(path) != 0) return nullptr;
    files[path] = "";
  } else if (files.count(path) == 0 || unreadable.count(path) != 0) {
    return nullptr;
  }
  const uintptr_t handle = nextFile_++;
  open_[handle] = OpenFile{path};
  return Handle(handle);
}

size_t FakePlatform::FRead(void* buffer, size_t size, size_t count, FileHandle file) {
  OpenFile& f = open_.at(reinterpret_cast<uintptr_t>(file));
  const std::string& content = files[f.path];
  size_t wanted = size * count;
  size_t available = content.size() - f.position;
  if (available > wanted) available = wanted;
  if (f.position + available >= readFailsAt && readFailsAt != static_cast<size_t>(-1)) {
    available = readFailsAt > f.position ? readFailsAt - f.position : 0;
    f.error = true;
  }
  std::memcpy(buffer, content.data() + f.position, available);
  f.position += available;
  return available / size;
}

size_t FakePlatform::FWrite(const void* buffer, size_t size, size_t count, FileHandle file) {
  OpenFile& f = open_.at(reinterpret_cast<uintptr_t>(file));
  size_t bytes = size * count;
  writeSizes.push_back(bytes);
  if (bytes > writeCapacity - written_) {
    bytes = writeCapacity - written_;
    f.error = true;
  }
  files[f.path].append(static_cast<const char*>(buffer), bytes);
  written_ += bytes;
  return bytes / size;
}

int FakePlatform::FError(FileHandle file) {
  return open_.at(reinterpret_cast<uintptr_t>(file)).error ? 1 : 0;
}

int FakePlatform::FClose(FileHandle file) {
  Log("FClose(" + open_.at(reinterpret_cast<uintptr_t>(file)).path + ")");
  open_.erase(reinterpret_cast<uintptr_t>(file));
  return 0;
}

bool FakePlatform::InternetGetConnectedState(uint32_t* flags, uint32_t reserved) {
  Log("InternetGetConnectedState(" + std::to_string(reserved) + ")");
  *flags = connectionFlags;
  return connectedResult;
}

InternetHandle FakePlatform::InternetOpenA(const char* agent, uint32_t accessType,
                                           const char* proxy, const char* proxyBypass,
                                           uint32_t flags) {
  Log("InternetOpenA(" + Text(agent) + ", " + std::to_string(accessType) + ", " + Text(proxy) +
      ", " + Text(proxyBypass) + ", " + Hex(flags) + ")");
  return internetOpenFails ? nullptr : Handle(kInternet);
}

bool FakePlatform::InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                                      uint32_t length) {
  uint32_t value = 0;
  std::memcpy(&value, buffer, sizeof value);
  Log("InternetSetOptionA(" + Ptr(handle) + ", " + std::to_string(option) + ", " +
      std::to_string(value) + ", " + std::to_string(length) + ")");
  return true;
}

InternetHandle FakePlatform::InternetOpenUrlA(InternetHandle internet, const char* url,
                                              const char* headers, uint32_t headersLength,
                                              uint32_t flags, uintptr_t context) {
  Log("InternetOpenUrlA(" + Ptr(internet) + ", " + Text(url) + ", " + Text(headers) + ", " +
      std::to_string(headersLength) + ", " + Hex(flags) + ", " + std::to_string(context) + ")");
  return urlOpenFails ? nullptr : Handle(kUrl);
}

bool FakePlatform::InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                                    uint32_t* bytesRead) {
  Log("InternetReadFile(" + Ptr(file) + ", " + std::to_string(bytesToRead) + ")");
  if (readFails && bodyPosition_ > 0) {
    *bytesRead = 0;
    return false;
  }
  size_t count = body.size() - bodyPosition_;
  if (count > bytesToRead) count = bytesToRead;
  std::memcpy(buffer, body.data() + bodyPosition_, count);
  bodyPosition_ += count;
  *bytesRead = static_cast<uint32_t>(count);
  return true;
}

bool FakePlatform::InternetCloseHandle(InternetHandle handle) {
  Log("InternetCloseHandle(" + Ptr(handle) + ")");
  return true;
}

DeadlineHandle FakePlatform::ArmDeadline(InternetHandle internet, uint32_t milliseconds) {
  Log("ArmDeadline(" + Ptr(internet) + ", " + std::to_string(milliseconds) + ")");
  return Handle(0x400);
}

bool FakePlatform::DisarmDeadline(DeadlineHandle deadline) {
  Log("DisarmDeadline(" + Ptr(deadline) + ")");
  return deadlineFires;
}

uint32_t FakePlatform::GetPrivateProfileStringA(const char* section, const char* key,
                                                const char* defaultValue, char* buffer,
                                                uint32_t size, const char* fileName) {
  Log("GetPrivateProfileStringA(" + Text(section) + ", " + Text(key) + ", " +
      Text(defaultValue) + ", " + std::to_string(size) + ", " + Text(fileName) + ")");
  const auto found = profile.find(std::string(fileName) + "|" + section + "|" + key);
  return Fill(buffer, size, found != profile.end() ? found->second : defaultValue);
}

bool FakePlatform::WritePrivateProfileStringA(const char* section, const char* key,
                                              const char* value, const char* fileName) {
  Log("WritePrivateProfileStringA(" + Text(section) + ", " + Text(key) + ", " + Text(value) +
      ", " + Text(fileName) + ")");
  profile[std::string(fileName) + "|" + section + "|" + key] = value;
  return true;
}

intptr_t FakePlatform::FindExecutableA(const char* file, const char* directory, char* result) {
  Log("FindExecutableA(" + Text(file) + ", " + Text(directory) + ")");
  if (findExecutableResult > 32) Fill(result, 260, browserPath);
  return findExecutableResult;
}

intptr_t FakePlatform::ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                     const char* parameters, const char* directory,
                                     int showCommand) {
  Log("ShellExecuteA(" + Ptr(owner) + ", " + Text(verb) + ", " + Text(file) + ", " +
      Text(parameters) + ", " + Text(directory) + ", " + std::to_string(showCommand) + ")");
  return 42;
}

std::unique_ptr<NoticeDialog> FakePlatform::CreateNoticeDialog() {
  Log("CreateNoticeDialog()");
  return std::make_unique<FakeNoticeDialog>(*this);
}
