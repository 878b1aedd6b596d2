// Parts that keep what the run asked of them and change nothing: the notice, the shell's
// starts and the profile's writes, the ground the fakes stand on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/profile_api.h"
#include "platform/shell_api.h"
#include "ui/notice.h"

// A notice that shows nothing: it keeps what the dialog would show and gives `answer`,
// with the box as it was.
class RecordingNotice : public Notice {
 public:
  NoticeAnswer answer = NoticeAnswer::kNo;
  bool asked = false;
  NoticeDialogData shown;

  NoticeAnswer Ask(NoticeDialogData& dialog) override {
    asked = true;
    shown = dialog;
    return answer;
  }
  WindowHandle Window() const override { return nullptr; }
};

// A shell that starts nothing: each start is kept, and reported as a success. The lookup
// is the subclass's.
class StartRecordingShell : public ShellApi {
 public:
  static constexpr intptr_t kStarted = 42;  // ShellExecuteA's results above 32 are success
  struct Start {
    WindowHandle owner;
    bool verbGiven, directoryGiven;
    std::string file, parameters;
    int showCommand;
  };
  std::vector<Start> started;

  intptr_t ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                         const char* parameters, const char* directory,
                         int showCommand) override {
    started.push_back(Start{owner, verb != nullptr, directory != nullptr, OrEmpty(file),
                            OrEmpty(parameters), showCommand});
    return kStarted;
  }

 private:
  static std::string OrEmpty(const char* text) { return text != nullptr ? text : std::string(); }
};

// A profile that stores nothing: each write is kept, and reported as a success, as the
// run expects of a write. Reading is the subclass's.
class WriteRecordingProfile : public ProfileApi {
 public:
  struct Write {
    std::string section, key, value, file;
  };
  std::vector<Write> writes;

  bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                  const char* fileName) override {
    writes.push_back(Write{section, key, value, fileName});
    return true;
  }
};
