// Placeholder until the dialog base is built.
#include "ui/base_dlg.h"

INT_PTR CALLBACK CBaseDlg::StaticDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
int RunOptionsDialog(HINSTANCE, HWND, CBaseDlg*) { return 0; }
