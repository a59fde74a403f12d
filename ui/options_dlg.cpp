// Placeholder until the options dialog is built.
#include "ui/options_dlg.h"

COptionsDlg::COptionsDlg(ReactionSettings* live_settings, HINSTANCE module_instance)
    : HeaderBrush(nullptr), TitleFont(nullptr), ModuleInstance(module_instance), Window(nullptr),
      LiveSettings(live_settings), WorkingCopy(*live_settings) {}
COptionsDlg::~COptionsDlg() {}
INT_PTR COptionsDlg::HandleMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }
int ShowCenteredMessageBox(HWND, const wchar_t*, const wchar_t*) { return IDNO; }
