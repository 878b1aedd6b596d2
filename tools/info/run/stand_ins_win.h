// The stand-ins of falwick-info run for the files and the profile. Falwick's run flow
// talks to them as to its real parts, and they answer as those would on this machine,
// but nothing of the host's is changed: no file of the program directory is deleted,
// created or written, no setting is stored, no dialog is shown and no browser started.
// What the files and the profile were asked is kept for the report.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "platform/files_win.h"
#include "platform/profile_api_win.h"
#include "platform/shell_api_win.h"
#include "tools/info/run/dry_run.h"
#include "ui/notice.h"

// Files as the run sees them: the module path is `modulePath`, deletions are only
// pretended (when Windows would allow them), the download is stored in `bodyPath`
// instead of the info file, and reading the info file reads what Falwick would read.
// The rest (the temporary directory, the placeholder, the questions before a rewrite) is
// the tool's own or only read, and goes to the system.
class DryFiles final : public Win32Files {
 public:
  DryFiles(std::string modulePath, std::string bodyPath)
      : modulePath_(std::move(modulePath)), bodyPath_(std::move(bodyPath)) {}

  // `modulePath`, or none when the ANSI functions could not take it.
  std::optional<std::string> ModulePath() override;
  bool Delete(const std::string& path) override;
  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> OpenForWriting(const std::string& path) override;

  BodyRead read() const { return read_; }
  bool stored() const { return stored_once_; }  // the download went to bodyPath

 private:
  std::string modulePath_;
  std::string bodyPath_;
  std::set<std::string> deleted_;  // as far as the run knows
  std::set<std::string> stored_;   // written to bodyPath_ instead
  BodyRead read_ = BodyRead::kNothing;
  bool stored_once_ = false;
};

// The profile calls, reading the real file and writing nothing (a write succeeds, as the
// run expects it to).
class ReadOnlyProfileApi final : public Win32ProfileApi {
 public:
  uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                    const char* defaultValue, char* buffer, uint32_t size,
                                    const char* fileName) override;
  bool WritePrivateProfileStringA(const char*, const char*, const char*, const char*) override {
    return true;
  }

  std::string lastRead;  // the text the last read returned
};

// A notice that shows nothing and answers "No", the box as it was.
class SilentNotice final : public Notice {
 public:
  NoticeAnswer Ask(NoticeDialogData& /*dialog*/) override { return NoticeAnswer::kNo; }
  WindowHandle Window() const override { return nullptr; }
};

// The system's lookup of the program associated with a file, and no start (reported as a
// success): the default browser as the dry run sees it.
class LookUpOnlyShell final : public Win32ShellApi {
 public:
  intptr_t ShellExecuteA(WindowHandle, const char*, const char*, const char*, const char*,
                         int) override {
    return 42;  // results above 32 are success
  }
};

// Whether Falwick could open `path` for writing: an existing file is opened for writing
// and closed unwritten; a missing one is created with delete-on-close and closed, so it
// is gone again at once.
WriteProbe ProbeFileWrite(const std::string& path);
// Whether a new file can be created in `directory` (ending in a backslash), with a
// delete-on-close file of the tool's own name.
WriteProbe ProbeDirectoryWrite(const std::string& directory);
// Whether DeleteFileA would delete the existing file `path` (it is not deleted).
bool CanDelete(const std::string& path);
bool FileExists(const std::string& path);
