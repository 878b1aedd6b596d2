// The update-notice dialog as the run flow sees it: the values it exchanges with the
// dialog, and the modal run. The Windows dialog implements it; tests script it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

struct NoticeDialogData {
  int32_t disableChecking = 0;  // checkbox: 0 clear, 1 ticked
  std::string noticeText;       // the maker's messages; empty shows the template
  std::string productName;
  std::string displayVersion;
};

class NoticeDialog : public NoticeDialogData {
 public:
  virtual ~NoticeDialog() = default;
  // Runs the dialog modally: 1 for "Yes", 2 for "No" or Esc, -1 when it could not be
  // created. On return the window is destroyed and disableChecking holds the box.
  virtual int DoModal() = 0;
  // The dialog's window while it exists, else none.
  virtual WindowHandle Window() const = 0;
};
