// A minimal modal-dialog framework: a dialog is a class with a resource template, a
// data-exchange step between controls and members, and hooks for initialisation, OK
// and Cancel. One static window procedure forwards to the object.
#pragma once

#include <windows.h>

#include <cstdint>

// The direction of one data-exchange pass.
struct CDataExchange {
  HWND dialog;
  bool saveAndValidate;  // true: controls to members; false: members to controls
};

// Check box `controlId` <-> `value` (0 clear, 1 ticked).
void DDX_Check(CDataExchange* dx, int controlId, int32_t& value);

class CDialog {
 public:
  CDialog(HINSTANCE instance, int templateId);
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Shows the dialog modally, centred on the screen, without an owner. Returns the
  // value given to EndDialog, or -1 when the dialog could not be created.
  int DoModal();
  HWND GetSafeHwnd() const { return hwnd_; }

 protected:
  virtual void DoDataExchange(CDataExchange* /*dx*/) {}
  // Moves the members into the controls; returns TRUE to let the system set the focus.
  virtual BOOL OnInitDialog();
  // Collects the control values, then ends the dialog with IDOK.
  virtual void OnOK();
  // Ends the dialog with IDCANCEL ("No", Esc).
  virtual void OnCancel();

  void UpdateData(bool saveAndValidate);
  void EndDialog(int result);

  HINSTANCE instance_;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void CenterOnScreen();

  int templateId_;
  HWND hwnd_ = nullptr;
};
