#include "ui/base_dlg.h"

#include "ui/resource.h"

// The object's address lives in the window's user-data slot (the pointer-sized calls are
// SetWindowLongW and GetWindowLongW in the 32-bit DLL).
INT_PTR CALLBACK CBaseDlg::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
  CBaseDlg* dialog = reinterpret_cast<CBaseDlg*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // Returning 0 from a dialog procedure leaves the message to the dialog manager.
  if (!dialog) return 0;
  // WM_DESTROY still reaches the object; WM_NCDESTROY and anything later does not.
  if (message == WM_DESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return dialog->HandleMessage(window, message, wParam, lParam);
}

int RunOptionsDialog(HINSTANCE instance, HWND owner, CBaseDlg* dialog) {
  return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_OPTIONS), owner, CBaseDlg::StaticDialogProc,
                                          reinterpret_cast<LPARAM>(dialog)));
}
