#include "ui/update_notice_dlg_win.h"

#include <string>

#include "ui/resource_ids.h"
#include "update/notice_text.h"

CUpdateNoticeDlg::CUpdateNoticeDlg(HINSTANCE instance)
    : CDialog(instance, IDD_UPDATE_NOTICE),
      icon_(LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM))) {}

void CUpdateNoticeDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Check(dx, IDC_DISABLE_CHECKING, disableChecking);
}

BOOL CUpdateNoticeDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

  HWND textControl = GetDlgItem(GetSafeHwnd(), IDC_NOTICE_TEXT);
  std::string controlTemplate;
  if (noticeText.empty()) {
    controlTemplate.resize(static_cast<size_t>(GetWindowTextLengthA(textControl)) + 1);
    const int length = GetWindowTextA(textControl, controlTemplate.data(),
                                      static_cast<int>(controlTemplate.size()));
    controlTemplate.resize(static_cast<size_t>(length > 0 ? length : 0));
  }
  const std::string text =
      ChooseNoticeText(noticeText, controlTemplate, productName, displayVersion);
  SetWindowTextA(textControl, text.c_str());
  return TRUE;
}

void CUpdateNoticeDlg::OnOK() {
  UpdateData(true);
  CDialog::OnOK();
}

void CUpdateNoticeDlg::OnCancel() {
  UpdateData(true);
  CDialog::OnCancel();
}
