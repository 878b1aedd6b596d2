// The notice on Windows: CUpdateNoticeDlg, constructed for the question and run modally.
#pragma once

#include <windows.h>

#include "ui/notice.h"

class CUpdateNoticeDlg;

class DialogNotice final : public Notice {
 public:
  explicit DialogNotice(HINSTANCE instance) : instance_(instance) {}
  NoticeAnswer Ask(NoticeDialogData& dialog) override;
  WindowHandle Window() const override;

 private:
  HINSTANCE instance_;
  const CUpdateNoticeDlg* shown_ = nullptr;  // while DoModal runs
};
