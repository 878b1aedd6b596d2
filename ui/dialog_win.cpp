#include "ui/dialog_win.h"

void DDX_Check(CDataExchange* dx, int controlId, int32_t& value) {
  if (dx->saveAndValidate) {
    value = IsDlgButtonChecked(dx->dialog, controlId) == BST_CHECKED ? 1 : 0;
  } else {
    CheckDlgButton(dx->dialog, controlId, value != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
}

CDialog::CDialog(HINSTANCE instance, int templateId)
    : instance_(instance), templateId_(templateId) {}

int CDialog::DoModal() {
  return static_cast<int>(DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId_), nullptr,
                                          DialogProc, reinterpret_cast<LPARAM>(this)));
}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(true);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx{hwnd_, saveAndValidate};
  DoDataExchange(&dx);
}

void CDialog::EndDialog(int result) { ::EndDialog(hwnd_, result); }

void CDialog::CenterOnScreen() {
  RECT window;
  GetWindowRect(hwnd_, &window);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
    self->CenterOnScreen();
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_COMMAND:
      // Esc and the window's close command arrive as IDCANCEL.
      if (LOWORD(wParam) == IDOK) {
        self->OnOK();
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        self->OnCancel();
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      self->hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return FALSE;
}
