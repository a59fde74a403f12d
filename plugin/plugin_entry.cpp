#include "plugin/plugin_entry.h"

#include <commctrl.h>

#include <new>

#include "support/error_text.h"
#include "plugin/host_window_hook.h"
#include "host/plugin_header.h"
#include "reactions/reaction_settings.h"
#include "reactions/screensaver_watch.h"
#include "reactions/session_controller.h"
#include "ui/base_dlg.h"
#include "ui/options_dlg.h"
#include "ui/resource.h"

// The module's other static state is set up beside its owners, before the host calls
// anything: the live SessionController (reactions/session_controller.cpp) and the link
// property atom (ui/hyperlink.cpp). Their teardown deletes a leftover worker and the atom.

GeneralPurposePluginHeader PluginHeader = {
    GeneralPurposeHeaderVersion, "Quillary v0.5", PluginInit, PluginConfig, PluginQuit, nullptr, nullptr,
};

static_assert(sizeof(GeneralPurposePluginHeader) == 28, "the host reads the descriptor as seven 32-bit fields");

COptionsDlg* OpenOptionsDialog = nullptr;

namespace {

// Set by a quit that came while config ran the dialog: config then leaves the watch alone.
bool QuitDuringConfig = false;

}  // namespace

extern "C" __declspec(dllexport) GeneralPurposePluginHeader* __cdecl winampGetGeneralPurposePlugin() {
  return &PluginHeader;
}

extern "C" __declspec(dllexport) int __cdecl winampUninstallPlugin(HINSTANCE, HWND parent, int) {
  // The dialog's modal loop is still on the stack: an unload now would return into freed code.
  if (OpenOptionsDialog) return 0;
  const ReactionSettings& settings = Controller.Settings;
  if (settings.IniHoldsSection()) {
    wchar_t question[100] = {};
    wchar_t caption[100] = {};
    LoadStringW(PluginHeader.hDllInstance, IDS_UNINSTALL_QUESTION, question, 100);
    LoadStringW(PluginHeader.hDllInstance, IDS_PLUGIN_NAME, caption, 100);
    if (MessageBoxW(parent, question, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
      settings.RemoveFromIni();
    }
  }
  // quit takes everything of ours off the host window, so the unload that follows is safe.
  return 1;
}

void ReportStartupError(HWND host, DWORD error) {
  wchar_t caption[100] = {};
  LoadStringW(PluginHeader.hDllInstance, IDS_PLUGIN_NAME, caption, 100);
  ErrorText text(error);
  MessageBoxW(host, text.Text(), caption, MB_OK);
}

void PinModule() {
  HMODULE self;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinModule), &self);
}

int __cdecl PluginInit() {
  HWND host = PluginHeader.hwndParent;
  if (RegisterAndSubclass(host) == HookResult::Failed) ReportStartupError(host, GetLastError());
  ObtainScreenSaverMessage(host);
  InitFromHost(host);
  return 0;
}

void __cdecl PluginConfig() {
  if (OpenOptionsDialog) {
    // The host's preferences can ask again while the dialog runs: only raise it.
    if (OpenOptionsDialog->Window) SetForegroundWindow(OpenOptionsDialog->Window);
    return;
  }
  // The template's up-down controls need their class, whatever the host has initialised.
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&classes);
  COptionsDlg* dialog = new (std::nothrow) COptionsDlg(&Controller.Settings, PluginHeader.hDllInstance);
  if (!dialog) return;
  OpenOptionsDialog = dialog;
  QuitDuringConfig = false;
  // A dialog that cannot be made returns at once (-1), and is no longer open either way.
  RunOptionsDialog(PluginHeader.hDllInstance, PluginHeader.hwndParent, dialog);
  OpenOptionsDialog = nullptr;
  delete dialog;
  if (!QuitDuringConfig) UpdateWatchAfterConfig();
}

void __cdecl PluginQuit() {
  if (OpenOptionsDialog) {
    // The player can quit from inside our modal loop (log-off, its tray icon, its
    // preferences): end the dialog unsaved, and stay mapped, since the dialog's and the
    // links' procedures are still on the stack below this call.
    if (OpenOptionsDialog->Window) EndDialog(OpenOptionsDialog->Window, IDCANCEL);
    QuitDuringConfig = true;
    PinModule();
  }
  ReleaseHostWindow(PluginHeader.hwndParent);
  StopWatch();
}
