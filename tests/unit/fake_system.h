// Stand-ins for the Windows side: files kept in memory, and the WinINet, profile and
// shell calls, each answering as the test set it up and noting itself in a shared log.
// What a test looks into beyond the order of the calls is kept in plain fields.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internet_api.h"
#include "platform/profile_api.h"
#include "platform/shell_api.h"
#include "recording_parts.h"

// Every call, in order, written as Name(arg, arg, ...); strings unquoted, null as
// "null", numbers in decimal except flags in hexadecimal.
using CallLog = std::vector<std::string>;
CallLog CallsNamed(const CallLog& log, const std::string& name);
// Index of the first call named `name`, or -1.
int IndexOf(const CallLog& log, const std::string& name);
std::string Hex(uint32_t value);

// Logs Delete, OpenForReading, OpenForWriting (when they succeed), CloseFile,
// TempDirectory, CreatePlaceholder, FreeSpace and FileSize. Paths are found as Windows
// finds them: made full (a single trailing dot of a name, the trailing dots and spaces of
// the last name, "." and ".." steps dropped), ASCII case folded, and through `aliases`.
class FakeFiles : public Files {
 public:
  explicit FakeFiles(CallLog& log) : log_(log) {}

  std::optional<std::string> modulePath = "C:\\Apps\\Writer\\Falwick.EXE";
  std::optional<std::string> tempDirectory = "C:\\Temp\\";
  std::map<std::string, std::string> files;  // by full path
  // Other names of a file in `files` (its 8.3 name, a hard or symbolic link, its data
  // stream), each mapped to the file's full path.
  std::map<std::string, std::string> aliases;
  std::map<std::string, uint64_t> sizes;     // sizes told in place of the contents' size
  std::set<std::string> readOnly;    // cannot be opened for writing nor deleted
  std::set<std::string> unreadable;  // cannot be opened for reading
  size_t writeCapacity = static_cast<size_t>(-1);  // bytes the disk takes in all
  size_t readFailsAt = static_cast<size_t>(-1);    // a read reaching this offset fails
  std::vector<size_t> writeSizes;                  // size of each Write
  bool freeSpaceKnown = true;
  uint64_t freeBytes = uint64_t{1} << 40;  // on every volume
  std::vector<std::string> freeSpaceAsked;  // the directories, in order

  std::optional<std::string> ModulePath() override { return modulePath; }
  std::optional<std::string> TempDirectory() override;
  bool SameName(const std::string& a, const std::string& b) override;
  // The same for each name of a file in `files`.
  std::optional<FileId> Identify(const std::string& path) override;
  // Like Windows, refuses to delete a file that is open, the placeholder included.
  bool Delete(const std::string& path) override;
  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> OpenForWriting(const std::string& path) override;
  // An empty file at `path`, unless one is there already, held open from then on.
  bool CreatePlaceholder(const std::string& path) override;
  bool FreeSpace(const std::string& directory, uint64_t& bytes) override;
  // From `sizes`, else from `files`; false for a file in neither.
  bool FileSize(const std::string& path, uint64_t& size) override;

 private:
  friend class FakeFile;
  // The key in `files` a path names, or, for a file yet to be made, its full path.
  std::string Find(const std::string& path) const;

  CallLog& log_;
  std::map<std::string, int> open_;
  size_t written_ = 0;
};

class FakeInternet : public InternetApi {
 public:
  static constexpr uintptr_t kInternet = 0x100;
  static constexpr uintptr_t kUrl = 0x200;

  explicit FakeInternet(CallLog& log) : log_(log) {}

  bool connectedResult = true;
  uint32_t connectionFlags = 0x12;
  bool internetOpenFails = false;
  bool urlOpenFails = false;
  std::string body;        // the response body, served in reads
  bool readFails = false;  // every read fails after the body's first read
  // The call through the deadline that never returns, so that the deadline passes during
  // it and abandons it (0: the connectivity test, 1: opening the URL, 2: the first read,
  // ...); -1: none. The handles that call was given, and the Internet handle they came
  // from, stay in use by it for ever.
  int deadlineFiresAt = -1;

  // What went wrong with the handles, recorded as it happened: a close of a handle that
  // an abandoned call is still using, of one already closed, or of one never opened.
  std::vector<std::string> handleFaults;
  // The handles opened and not closed.
  std::set<uintptr_t> openHandles;

  InternetHandle InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                               const char* proxyBypass, uint32_t flags) override;
  bool InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                          uint32_t length) override;
  bool InternetCloseHandle(InternetHandle handle) override;
  // Logs ArmDeadline, then the calls made through the deadline, then DisarmDeadline.
  std::unique_ptr<NetworkDeadline> ArmDeadline(uint32_t milliseconds) override;

 private:
  friend class FakeDeadline;
  CallLog& log_;
  size_t bodyPosition_ = 0;
  std::set<uintptr_t> closed_;
  std::set<uintptr_t> inUse_;  // by an abandoned call
};

// Keeps the values by "file|section|key"; logs GetPrivateProfileStringA() and
// WritePrivateProfileStringA(), without arguments.
class FakeProfile : public WriteRecordingProfile {
 public:
  explicit FakeProfile(CallLog& log) : log_(log) {}

  std::map<std::string, std::string> values;  // "file|section|key" -> value

  uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                    const char* defaultValue, char* buffer, uint32_t size,
                                    const char* fileName) override;
  bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                  const char* fileName) override;

 private:
  CallLog& log_;
};

// Finds the browser for a file that exists among `files`. Logs FindExecutableA(file) and
// ShellExecuteA().
class FakeShell : public StartRecordingShell {
 public:
  FakeShell(CallLog& log, FakeFiles& fileSystem) : files(fileSystem), log_(log) {}

  FakeFiles& files;
  intptr_t findExecutableResult = 42;
  std::string browserPath = "C:\\Browsers\\browser.exe";

  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override;
  intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                         const char* parameters, const char* directory,
                         int showCommand) override;

 private:
  CallLog& log_;
};
