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
#include "ui/modal_ui.h"
#include "ui/options_dlg.h"
#include "ui/resource.h"

// The module's other static state is set up beside its owners, before the host calls
// anything: the live SessionController (reactions/session_controller.cpp) and the link
// property atom (ui/hyperlink.cpp). Their teardown deletes a leftover worker and the atom.

GeneralPurposePluginHeader PluginHeader = {
    GeneralPurposeHeaderVersion, "Quillary v0.5", PluginInit, PluginConfig, PluginQuit, nullptr, nullptr,
};

// The host is 32-bit. (A 64-bit build of the same sources exists only to run the tests on
// machines without 32-bit user mode.)
static_assert(sizeof(void*) != 4 || sizeof(GeneralPurposePluginHeader) == 28,
              "the host reads the descriptor as seven 32-bit fields");

COptionsDlg* OpenOptionsDialog = nullptr;

namespace {

// From init to quit. The host can quit us under a box or the dialog, so what runs on after
// one returns asks first.
bool Started = false;

}  // namespace

extern "C" __declspec(dllexport) GeneralPurposePluginHeader* __cdecl winampGetGeneralPurposePlugin() {
  return &PluginHeader;
}

extern "C" __declspec(dllexport) int __cdecl winampUninstallPlugin(HINSTANCE, HWND parent, int) {
  // A modal loop of ours is on the stack (the dialog, a box, also this export's own
  // question), or one of the player's runs inside our subclass: an unload now would return
  // into freed code.
  if (ModalUiDepth > 0 || HostProcedureDepth > 0) return 0;
  const ReactionSettings& settings = Controller.Settings;
  if (settings.IniHoldsSection()) {
    wchar_t question[100] = {};
    wchar_t caption[100] = {};
    LoadStringW(PluginHeader.hDllInstance, IDS_UNINSTALL_QUESTION, question, 100);
    LoadStringW(PluginHeader.hDllInstance, IDS_PLUGIN_NAME, caption, 100);
    ModalUiScope asking;
    if (MessageBoxW(parent, question, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES &&
        !settings.RemoveFromIni()) {
      // The user asked for them to go: say that they stayed, as a failed save does.
      ReportFailedIniWrite(parent, PluginHeader.hDllInstance, IDS_REMOVE_FAILED, settings.ini_path, GetLastError());
    }
  }
  // quit takes everything of ours off the host window, so the unload that follows is safe.
  return 1;
}

void ReportStartupError(HWND host, DWORD error) {
  wchar_t caption[100] = {};
  LoadStringW(PluginHeader.hDllInstance, IDS_PLUGIN_NAME, caption, 100);
  ErrorText text(error);
  ModalUiScope up;
  MessageBoxW(host, text.Text(), caption, MB_OK);
}

void PinModule() {
  HMODULE self;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinModule), &self);
}

int __cdecl PluginInit() {
  HWND host = PluginHeader.hwndParent;
  Started = true;
  if (RegisterAndSubclass(host) == HookResult::Failed) {
    ReportStartupError(host, GetLastError());
    // The player's preferences can remove us under the box: a watch started for a host
    // that has quit us would never be stopped.
    if (!Started) return 0;
  }
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
  {
    ModalUiScope running;
    // A dialog that cannot be made returns at once (-1), and is no longer open either way.
    RunOptionsDialog(PluginHeader.hDllInstance, PluginHeader.hwndParent, dialog);
  }
  OpenOptionsDialog = nullptr;
  delete dialog;
  // After a quit meanwhile the watch stays stopped.
  if (Started) UpdateWatchAfterConfig();
}

void __cdecl PluginQuit() {
  Started = false;
  // The player can quit from inside a modal loop of ours (log-off, its tray icon, its
  // preferences): end the dialog unsaved, and stay mapped, since our code is still on the
  // stack below this call and the player may free the DLL next.
  if (OpenOptionsDialog && OpenOptionsDialog->Window) EndDialog(OpenOptionsDialog->Window, IDCANCEL);
  if (ModalUiDepth > 0) PinModule();
  ReleaseHostWindow(PluginHeader.hwndParent);
  StopWatch();
}
