#include "ui/base_dlg.h"

#include <objbase.h>

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
  // Screen readers get some controls' objects through COM (ui/accessible.cpp), and the links
  // open through the shell, both of which want a single-threaded apartment on this thread for
  // as long as the controls live. One the host made stays as it is; ours ends with the
  // dialog, after the last control.
  const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_OPTIONS), owner, CBaseDlg::StaticDialogProc,
                                         reinterpret_cast<LPARAM>(dialog));
  if (SUCCEEDED(apartment)) CoUninitialize();
  return static_cast<int>(result);
}
