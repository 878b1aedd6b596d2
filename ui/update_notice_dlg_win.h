// The update-notice dialog: tells the user that a newer version is available (or shows
// the maker's messages), asks whether to update now, and carries the disable-checking
// box.
#pragma once

#include "ui/dialog_win.h"
#include "ui/notice_dialog.h"

class CUpdateNoticeDlg : public CDialog, public NoticeDialog {
 public:
  // Loads the program's icon; the fields start empty and the box clear.
  explicit CUpdateNoticeDlg(HINSTANCE instance);

  int DoModal() override { return CDialog::DoModal(); }
  WindowHandle Window() const override { return GetSafeHwnd(); }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  // Both collect the box before the dialog ends, so it is stored after "No" and Esc too.
  void OnOK() override;
  void OnCancel() override;

 private:
  HICON icon_;
};
