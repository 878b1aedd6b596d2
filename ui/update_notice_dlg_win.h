// The update-notice dialog: tells the user that a newer version is available (or shows
// the maker's messages), asks whether to update now, and carries the disable-checking
// box. Its values are the fields of NoticeDialogData; the dialog moves them to and from
// its controls.
#pragma once

#include "ui/dialog_win.h"
#include "ui/notice.h"

class CUpdateNoticeDlg : public CDialog, public NoticeDialogData {
 public:
  // Loads the program's icon; the fields start empty and the box clear.
  explicit CUpdateNoticeDlg(HINSTANCE instance);

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  // Both collect the box before the dialog ends, so it is stored after "No" and Esc too.
  void OnOK() override;
  void OnCancel() override;

 private:
  HICON icon_;
};
