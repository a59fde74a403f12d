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
  // Screen readers get some controls' objects through COM (ui/accessible.cpp), which needs
  // an apartment on this thread for as long as the controls live. One the thread is in
  // already stays as it is, also the process's multithreaded one that a thread of the host
  // may have made; ours ends with the dialog, after the last control.
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  const bool ours = FAILED(CoGetApartmentType(&type, &qualifier)) &&
                    SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_OPTIONS), owner, CBaseDlg::StaticDialogProc,
                                         reinterpret_cast<LPARAM>(dialog));
  if (ours) CoUninitialize();
  return static_cast<int>(result);
}
