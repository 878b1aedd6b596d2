// Trivial stand-ins for the parts the run flow talks to: each holds what the test set
// up, does the least the part promises, and notes what it was asked in a shared log.
#pragma once

#include <map>
#include <string>

#include "app/update_check_app.h"
#include "fake_system.h"
#include "recording_parts.h"
#include "shell/browser.h"
#include "ui/notice.h"
#include "update/download.h"
#include "update/host_setting.h"

// Stores `body` at the fetched path through the files, as a download would.
class FakeDownload : public InfoDownload {
 public:
  FakeDownload(CallLog& log, Files& files) : log_(log), files_(files) {}
  bool online = true;
  bool urlOpens = true;
  std::string body;

  bool Connect() override {
    log_.push_back("Connect()");
    return online;
  }
  ConnectResult Connection() const override {
    return online ? ConnectResult::kOnLine : ConnectResult::kNotConnected;
  }
  bool Fetch(const std::string& url, const std::string& path) override {
    log_.push_back("Fetch(" + url + ", " + path + ")");
    if (!urlOpens) return false;
    if (const auto file = files_.OpenForWriting(path)) file->Write(body.data(), body.size());
    return true;
  }
  void Close() override { log_.push_back("Close()"); }

 private:
  CallLog& log_;
  Files& files_;
};

// The stored box by "file|section|key"; a location without one leaves the box.
class FakeSetting : public HostSetting {
 public:
  explicit FakeSetting(CallLog& log) : log_(log) {}
  std::map<std::string, int32_t> stored;

  static std::string Key(const SettingLocation& where) {
    return where.file + "|" + where.section + "|" + where.key;
  }
  void Read(const SettingLocation& where, int32_t& disableChecking) override {
    log_.push_back("ReadSetting(" + Key(where) + ")");
    const auto found = stored.find(Key(where));
    if (found != stored.end()) disableChecking = found->second;
  }
  void Write(const SettingLocation& where, int32_t disableChecking) override {
    log_.push_back("WriteSetting(" + Key(where) + ", " + std::to_string(disableChecking) + ")");
    stored[Key(where)] = disableChecking;
  }

 private:
  CallLog& log_;
};

// Answers with `answer` and leaves the box at `boxLeft` (-1: as shown). Keeps what it
// was shown and, when `app` is set, the application's main window while it was shown.
class FakeNotice : public RecordingNotice {
 public:
  static constexpr uintptr_t kWindow = 0xD1A;
  explicit FakeNotice(CallLog& log) : log_(log) { answer = NoticeAnswer::kYes; }
  int32_t boxLeft = -1;
  const CUpdateCheckApp* app = nullptr;
  WindowHandle mainWindowWhileShown = nullptr;

  NoticeAnswer Ask(NoticeDialogData& dialog) override {
    log_.push_back("Ask()");
    showing_ = true;
    if (app != nullptr) mainWindowWhileShown = app->MainWindow();
    showing_ = false;
    const NoticeAnswer given = RecordingNotice::Ask(dialog);
    if (boxLeft >= 0) dialog.disableChecking = boxLeft;
    return given;
  }
  WindowHandle Window() const override {
    return showing_ ? reinterpret_cast<WindowHandle>(kWindow) : nullptr;
  }

 private:
  CallLog& log_;
  bool showing_ = false;
};

class FakeBrowser : public Browser {
 public:
  explicit FakeBrowser(CallLog& log) : log_(log) {}
  void Open(WindowHandle owner, const std::string& url) override {
    log_.push_back(std::string("Open(") + (owner == nullptr ? "null" : "owner") + ", " + url + ")");
  }

 private:
  CallLog& log_;
};
