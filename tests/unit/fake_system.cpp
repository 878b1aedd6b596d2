#include "fake_system.h"

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <iterator>

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

}  // namespace

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

CallLog CallsNamed(const CallLog& log, const std::string& name) {
  CallLog result;
  for (const auto& call : log) {
    if (call.compare(0, name.size() + 1, name + "(") == 0) result.push_back(call);
  }
  return result;
}

int IndexOf(const CallLog& log, const std::string& name) {
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].compare(0, name.size() + 1, name + "(") == 0) return static_cast<int>(i);
  }
  return -1;
}

// --- Files

class FakeFile : public File {
 public:
  FakeFile(FakeFiles& files, std::string path) : files_(files), path_(std::move(path)) {
    ++files_.open_[path_];
  }
  ~FakeFile() override {
    files_.log_.push_back("CloseFile(" + path_ + ")");
    if (--files_.open_[path_] == 0) files_.open_.erase(path_);
  }

  size_t Read(char* buffer, size_t size, bool& failed) override {
    const std::string& content = files_.files[path_];
    size_t count = content.size() - position_;
    if (count > size) count = size;
    failed = false;
    if (files_.readFailsAt != static_cast<size_t>(-1) && position_ + count >= files_.readFailsAt) {
      count = files_.readFailsAt > position_ ? files_.readFailsAt - position_ : 0;
      failed = true;
    }
    std::memcpy(buffer, content.data() + position_, count);
    position_ += count;
    return count;
  }

  size_t Write(const char* data, size_t size) override {
    files_.writeSizes.push_back(size);
    const size_t room = files_.writeCapacity - files_.written_;
    if (size > room) size = room;
    files_.files[path_].append(data, size);
    files_.written_ += size;
    return size;
  }

 private:
  FakeFiles& files_;
  std::string path_;
  size_t position_ = 0;
};

namespace {

// As Windows makes a path full: "." and ".." steps taken, a name's single trailing dot
// dropped, and every trailing dot and space of the last name.
std::string WindowsFullPath(const std::string& path) {
  std::vector<std::string> names;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find_first_of("\\/", start);
    std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const bool last = end == std::string::npos;
    if (name == "..") {
      if (names.size() > 1) names.pop_back();
    } else if (name != "." && !(name.empty() && !names.empty())) {
      if (last) {
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
      } else if (name.size() > 1 && name.back() == '.' && name[name.size() - 2] != '.') {
        name.pop_back();
      }
      names.push_back(name);
    }
    if (last) break;
    start = end + 1;
  }
  std::string full;
  for (const std::string& name : names) full += (full.empty() ? "" : "\\") + name;
  return full;
}

bool EqualsFolded(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string FakeFiles::Find(const std::string& path) const {
  const std::string full = WindowsFullPath(path);
  for (const auto& [alias, target] : aliases) {
    if (EqualsFolded(alias, full)) return target;
  }
  for (const auto& [name, content] : files) {
    if (EqualsFolded(name, full)) return name;
  }
  return full;
}

std::optional<std::string> FakeFiles::TempDirectory() {
  log_.push_back("TempDirectory()");
  return tempDirectory;
}

bool FakeFiles::SameName(const std::string& a, const std::string& b) {
  return EqualsFolded(WindowsFullPath(a), WindowsFullPath(b));
}

std::optional<FileId> FakeFiles::Identify(const std::string& path) {
  const auto found = files.find(Find(path));
  if (found == files.end()) return std::nullopt;
  FileId id;
  id.volume = 1;
  id.low = static_cast<uint64_t>(std::distance(files.begin(), found)) + 1;
  return id;
}

bool FakeFiles::Delete(const std::string& given) {
  log_.push_back("Delete(" + given + ")");
  const std::string path = Find(given);
  if (readOnly.count(path) != 0 || open_.count(path) != 0) return false;
  return files.erase(path) != 0;
}

std::unique_ptr<File> FakeFiles::OpenForReading(const std::string& given) {
  const std::string path = Find(given);
  if (files.count(path) == 0 || unreadable.count(path) != 0 || open_.count(path) != 0) {
    return nullptr;
  }
  log_.push_back("OpenForReading(" + given + ")");
  return std::make_unique<FakeFile>(*this, path);
}

std::unique_ptr<File> FakeFiles::OpenForWriting(const std::string& given) {
  const std::string path = Find(given);
  if (readOnly.count(path) != 0 || open_.count(path) != 0) return nullptr;
  log_.push_back("OpenForWriting(" + given + ")");
  files[path] = "";
  return std::make_unique<FakeFile>(*this, path);
}

bool FakeFiles::CreatePlaceholder(const std::string& given) {
  log_.push_back("CreatePlaceholder(" + given + ")");
  const std::string path = Find(given);
  if (!files.emplace(path, std::string()).second) return false;
  ++open_[path];  // by a handle that is never closed: the file goes with the process
  return true;
}

bool FakeFiles::FreeSpace(const std::string& directory, uint64_t& bytes) {
  log_.push_back("FreeSpace(" + directory + ")");
  freeSpaceAsked.push_back(directory);
  if (!freeSpaceKnown) return false;
  bytes = freeBytes;
  return true;
}

bool FakeFiles::FileSize(const std::string& given, uint64_t& size) {
  log_.push_back("FileSize(" + given + ")");
  const std::string path = Find(given);
  if (const auto told = sizes.find(path); told != sizes.end()) {
    size = told->second;
    return true;
  }
  const auto found = files.find(path);
  if (found == files.end()) return false;
  size = found->second.size();
  return true;
}

// --- WinINet

class FakeDeadline : public NetworkDeadline {
 public:
  explicit FakeDeadline(FakeInternet& internet) : internet_(internet) {}
  ~FakeDeadline() override { internet_.log_.push_back("DisarmDeadline()"); }

  bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) override {
    internet_.log_.push_back("InternetGetConnectedState(" + std::to_string(reserved) + ")");
    *flags = 0;
    if (Blocks({})) return false;
    *flags = internet_.connectionFlags;
    return internet_.connectedResult;
  }

  InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url, const char* headers,
                                  uint32_t headersLength, uint32_t flags,
                                  uintptr_t context) override {
    internet_.log_.push_back("InternetOpenUrlA(" + Ptr(internet) + ", " + Text(url) + ", " +
                             Text(headers) + ", " + std::to_string(headersLength) + ", " +
                             Hex(flags) + ", " + std::to_string(context) + ")");
    if (Blocks({internet}) || internet_.urlOpenFails) return nullptr;
    internet_.openHandles.insert(FakeInternet::kUrl);
    return Handle(FakeInternet::kUrl);
  }

  bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                        uint32_t* bytesRead) override {
    internet_.log_.push_back("InternetReadFile(" + Ptr(file) + ", " +
                             std::to_string(bytesToRead) + ")");
    *bytesRead = 0;
    if (Blocks({file, Handle(FakeInternet::kInternet)}) ||
        (internet_.readFails && internet_.bodyPosition_ > 0)) {
      return false;
    }
    const std::string& body = internet_.body;
    size_t count = body.size() - internet_.bodyPosition_;
    if (count > bytesToRead) count = bytesToRead;
    std::memcpy(buffer, body.data() + internet_.bodyPosition_, count);
    internet_.bodyPosition_ += count;
    *bytesRead = static_cast<uint32_t>(count);
    return true;
  }

  bool Fired() const override { return fired_; }

 private:
  // Whether this call is the one that never returns (or comes after it): the deadline
  // then passes and the call fails, leaving `handles` in use by the blocked call.
  bool Blocks(std::initializer_list<InternetHandle> handles) {
    if (calls_++ == internet_.deadlineFiresAt) {
      fired_ = true;
      for (InternetHandle handle : handles) {
        internet_.inUse_.insert(reinterpret_cast<uintptr_t>(handle));
      }
    }
    return fired_;
  }

  FakeInternet& internet_;
  int calls_ = 0;
  bool fired_ = false;
};

InternetHandle FakeInternet::InternetOpenA(const char* agent, uint32_t accessType,
                                           const char* proxy, const char* proxyBypass,
                                           uint32_t flags) {
  log_.push_back("InternetOpenA(" + Text(agent) + ", " + std::to_string(accessType) + ", " +
                 Text(proxy) + ", " + Text(proxyBypass) + ", " + Hex(flags) + ")");
  if (internetOpenFails) return nullptr;
  openHandles.insert(kInternet);
  return Handle(kInternet);
}

bool FakeInternet::InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                                      uint32_t length) {
  uint32_t value = 0;
  std::memcpy(&value, buffer, sizeof value);
  log_.push_back("InternetSetOptionA(" + Ptr(handle) + ", " + std::to_string(option) + ", " +
                 std::to_string(value) + ", " + std::to_string(length) + ")");
  return true;
}

bool FakeInternet::InternetCloseHandle(InternetHandle handle) {
  log_.push_back("InternetCloseHandle(" + Ptr(handle) + ")");
  const auto value = reinterpret_cast<uintptr_t>(handle);
  if (inUse_.count(value) != 0) handleFaults.push_back("closed while in use: " + Ptr(handle));
  if (closed_.count(value) != 0) {
    handleFaults.push_back("closed twice: " + Ptr(handle));
  } else if (openHandles.erase(value) == 0) {
    handleFaults.push_back("closed, never opened: " + Ptr(handle));
  }
  closed_.insert(value);
  return true;
}

std::unique_ptr<NetworkDeadline> FakeInternet::ArmDeadline(uint32_t milliseconds) {
  log_.push_back("ArmDeadline(" + std::to_string(milliseconds) + ")");
  return std::make_unique<FakeDeadline>(*this);
}

// --- Profile

uint32_t FakeProfile::GetPrivateProfileStringA(const char* section, const char* key,
                                               const char* defaultValue, char* buffer,
                                               uint32_t size, const char* fileName) {
  log_.push_back("GetPrivateProfileStringA()");
  const auto found = values.find(std::string(fileName) + "|" + section + "|" + key);
  return Fill(buffer, size, found != values.end() ? found->second : defaultValue);
}

bool FakeProfile::WritePrivateProfileStringA(const char* section, const char* key,
                                             const char* value, const char* fileName) {
  log_.push_back("WritePrivateProfileStringA()");
  values[std::string(fileName) + "|" + section + "|" + key] = value;
  return WriteRecordingProfile::WritePrivateProfileStringA(section, key, value, fileName);
}

// --- Shell

intptr_t FakeShell::FindExecutableA(const char* file, const char* /*directory*/, char* result) {
  log_.push_back("FindExecutableA(" + Text(file) + ")");
  if (files.files.count(file) == 0) return 2;  // file not found
  if (findExecutableResult > 32) Fill(result, 260, browserPath);
  return findExecutableResult;
}

intptr_t FakeShell::ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                  const char* parameters, const char* directory,
                                  int showCommand) {
  log_.push_back("ShellExecuteA()");
  return StartRecordingShell::ShellExecuteA(owner, verb, file, parameters, directory,
                                            showCommand);
}
