// A scripted stand-in for Windows: it records every call with its arguments, keeps files
// and settings in memory, and answers as the test set it up.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/notice_dialog.h"

class FakePlatform : public Platform {
 public:
  // Every call, in order, written as Name(arg, arg, ...); strings unquoted, null as
  // "null", numbers in decimal except flags in hexadecimal.
  std::vector<std::string> calls;
  std::vector<std::string> CallsNamed(const std::string& name) const;
  // Index of the first call named `name`, or -1.
  int IndexOf(const std::string& name) const;

  // Module and temporary directory.
  std::string modulePath = "C:\\Apps\\Writer\\Falwick.EXE";
  uint32_t moduleResult = 0;  // when not 0, returned instead of the path's length
  std::string tempPath = "C:\\Temp\\";
  uint32_t tempResult = 0;    // when not 0, returned instead of the path's length

  // Files, by full path.
  std::map<std::string, std::string> files;
  std::set<std::string> readOnly;     // cannot be opened for writing nor deleted
  std::set<std::string> unreadable;   // cannot be opened for reading
  size_t writeCapacity = static_cast<size_t>(-1);  // bytes the disk takes in all
  size_t readFailsAt = static_cast<size_t>(-1);    // a read reaching this offset fails
  std::vector<size_t> writeSizes;                  // size of each FWrite

  // WinINet.
  bool connectedResult = true;
  uint32_t connectionFlags = 0x12;
  bool internetOpenFails = false;
  bool urlOpenFails = false;
  std::string body;          // the response body, served in reads
  bool readFails = false;    // every read fails after the body's first read
  bool deadlineFires = false;  // the fetch deadline fires before it is disarmed

  // Profile files: "file|section|key" -> value.
  std::map<std::string, std::string> profile;

  // Shell.
  intptr_t findExecutableResult = 42;
  std::string browserPath = "C:\\Browsers\\browser.exe";

  // The notice dialog: the result DoModal returns, the box the user leaves, and what
  // the dialog was given when it ran.
  int dialogResult = 1;
  int32_t boxAfterDialog = -1;  // -1: leave the box as it was shown
  NoticeDialogData dialogShown;
  bool dialogRan = false;
  WindowHandle mainWindowDuringDialog = nullptr;
  class CUpdateCheckApp* app = nullptr;  // when set, DoModal records its main window

  uint32_t GetModuleFileNameA(char* buffer, uint32_t size) override;
  uint32_t GetTempPathA(uint32_t size, char* buffer) override;
  SystemHandle CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                           uint32_t disposition, uint32_t flagsAndAttributes) override;
  bool DeleteFileA(const char* path) override;
  FileHandle FsOpen(const char* path, const char* mode, int shareFlag) override;
  size_t FRead(void* buffer, size_t size, size_t count, FileHandle file) override;
  size_t FWrite(const void* buffer, size_t size, size_t count, FileHandle file) override;
  int FError(FileHandle file) override;
  int FClose(FileHandle file) override;
  bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved) override;
  InternetHandle InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                               const char* proxyBypass, uint32_t flags) override;
  bool InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                          uint32_t length) override;
  InternetHandle InternetOpenUrlA(InternetHandle internet, const char* url,
                                  const char* headers, uint32_t headersLength, uint32_t flags,
                                  uintptr_t context) override;
  bool InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                        uint32_t* bytesRead) override;
  bool InternetCloseHandle(InternetHandle handle) override;
  DeadlineHandle ArmDeadline(InternetHandle internet, uint32_t milliseconds) override;
  bool DisarmDeadline(DeadlineHandle deadline) override;
  uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                    const char* defaultValue, char* buffer, uint32_t size,
                                    const char* fileName) override;
  bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                  const char* fileName) override;
  intptr_t FindExecutableA(const char* file, const char* directory, char* result) override;
  intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                         const char* parameters, const char* directory,
                         int showCommand) override;
  std::unique_ptr<NoticeDialog> CreateNoticeDialog() override;

  static constexpr uintptr_t kInternet = 0x100;
  static constexpr uintptr_t kUrl = 0x200;
  static constexpr uintptr_t kDialogWindow = 0xD1A;

 private:
  struct OpenFile {
    std::string path;
    size_t position = 0;
    bool error = false;
  };
  std::map<uintptr_t, OpenFile> open_;
  uintptr_t nextFile_ = 0x1000;
  size_t bodyPosition_ = 0;
  size_t written_ = 0;
  void Log(const std::string& call) { calls.push_back(call); }
};

std::string Hex(uint32_t value);
