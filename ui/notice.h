// The update notice as the run flow uses it: the values the dialog shows and exchanges,
// and one modal question.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

struct NoticeDialogData {
  int32_t disableChecking = 0;  // the box: 0 clear, 1 ticked
  std::string noticeText;       // the maker's messages; empty shows the standard sentence
  std::string productName;
  std::string displayVersion;
};

enum class NoticeAnswer {
  kYes,
  kNo,  // "No", Esc, or a dialog that could not be shown
};

class Notice {
 public:
  virtual ~Notice() = default;
  // Shows the notice dialog modally with `dialog`'s values and returns the user's answer.
  // `dialog.disableChecking` then holds the box as the user left it (as it was, when the
  // dialog could not be shown).
  virtual NoticeAnswer Ask(NoticeDialogData& dialog) = 0;
  // The dialog's window while the notice is shown, else none.
  virtual WindowHandle Window() const = 0;
};
