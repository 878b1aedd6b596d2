#include "ui/notice_win.h"

#include "ui/update_notice_dlg_win.h"

NoticeAnswer DialogNotice::Ask(NoticeDialogData& dialog) {
  CUpdateNoticeDlg notice(instance_);  // loads the icon
  static_cast<NoticeDialogData&>(notice) = dialog;
  shown_ = &notice;
  const int result = notice.DoModal();
  shown_ = nullptr;  // the dialog's window is gone
  dialog.disableChecking = notice.disableChecking;
  // Every result but "Yes" counts as "No", -1 for a dialog that could not be created too.
  return result == IDOK ? NoticeAnswer::kYes : NoticeAnswer::kNo;
}

WindowHandle DialogNotice::Window() const {
  return shown_ != nullptr ? shown_->GetSafeHwnd() : nullptr;
}
