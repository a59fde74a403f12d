#include "plugin/host_window_hook.h"

#include <wtsapi32.h>

#include "host/host_api.h"
#include "host/plugin_header.h"
#include "plugin/plugin_entry.h"
#include "reactions/action_engine.h"
#include "reactions/screensaver_watch.h"
#include "reactions/session_controller.h"

RegisterSessionNotificationFunction RegisterSessionNotification = WTSRegisterSessionNotification;
UINT RegistrationRetryIntervalMs = 1000;
int RegistrationRetryLimit = 60;

bool RegisteredForNotifications = false;
WNDPROC PreviousHostWindowProc = nullptr;

namespace {

// Set while HostWindowProc acts for the plug-in; after quit it only passes messages on.
bool HookActive = false;
int RetriesLeft = 0;
// The window whose chain HostWindowProc is in, until quit takes it out or the window goes.
HWND SubclassedWindow = nullptr;

bool Subclass(HWND host) {
  // A second init while we are still in the chain (quit had to leave us under another
  // subclass, or the DLL was freed without quit and stayed mapped): subclassing again would
  // save ourselves as the previous procedure, and the window would recurse.
  if (host == SubclassedWindow && IsWindow(host)) {
    HookActive = true;
    return true;
  }
  SetLastError(0);
  // Undone by ReleaseHostWindow at quit, or by the module's teardown.
  PreviousHostWindowProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostWindowProc)));
  HookActive = PreviousHostWindowProc != nullptr;
  if (HookActive) SubclassedWindow = host;
  return HookActive;
}

void OnSessionChange(WPARAM code, HWND host) {
  ReactionSettings& settings = Controller.Settings;
  switch (code) {
    case WTS_CONSOLE_CONNECT:
      Controller.SessionAttached = true;
      [[fallthrough]];
    case WTS_SESSION_UNLOCK:
      if (Controller.SessionAttached) {
        StartOrResumeWatch();
        ApplyRule(settings.unlock, host);
      }
      break;
    case WTS_CONSOLE_DISCONNECT:
      Controller.SessionAttached = false;
      ApplyRule(settings.login, host);
      break;
    case WTS_SESSION_LOCK:
      if (Controller.SessionAttached) {
        SuspendWatch();
        ApplyRule(settings.lock, host);
      }
      break;
    default:  // remote sessions, logon, logoff, remote control: not ours
      break;
  }
}

void OnRegistrationRetry(HWND host) {
  if (RetriesLeft <= 0) {  // a stray expiry: no retry is under way
    KillTimer(host, RegistrationRetryTimer);
    return;
  }
  if (RegisterSessionNotification(host, NOTIFY_FOR_THIS_SESSION)) {
    KillTimer(host, RegistrationRetryTimer);
    RetriesLeft = 0;
    RegisteredForNotifications = true;
    return;
  }
  DWORD error = GetLastError();
  if (error == SessionServicesNotReady && --RetriesLeft > 0) return;
  // Given up: the same report as a registration that fails at once.
  KillTimer(host, RegistrationRetryTimer);
  RetriesLeft = 0;
  ReportStartupError(host, error);
}

}  // namespace

HookResult RegisterAndSubclass(HWND host) {
  if (!RegisterSessionNotification(host, NOTIFY_FOR_THIS_SESSION)) {
    DWORD error = GetLastError();
    RegisteredForNotifications = false;
    if (error != SessionServicesNotReady) {
      SetLastError(error);
      return HookResult::Failed;
    }
    // Early in a Windows start-up: hook the window now and keep asking once a second.
    if (!Subclass(host)) return HookResult::Failed;
    RetriesLeft = RegistrationRetryLimit;
    // Killed when registration succeeds or is given up, and at quit.
    SetTimer(host, RegistrationRetryTimer, RegistrationRetryIntervalMs, nullptr);
    return HookResult::RetryPending;
  }
  RegisteredForNotifications = true;
  return Subclass(host) ? HookResult::Hooked : HookResult::Failed;
}

namespace {

// The host's own procedure, counted while it runs: its own modal dialogs and boxes run inside
// it, with HostWindowProc below them on the stack.
LRESULT CallHostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ++HostProcedureDepth;
  const LRESULT result = CallWindowProcW(PreviousHostWindowProc, window, message, wParam, lParam);
  --HostProcedureDepth;
  return result;
}

}  // namespace

int HostProcedureDepth = 0;

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HookActive) {
    switch (message) {
      case WM_TIMER:
        if (wParam == DelayTimer) {
          OnDelayTimer(window);
          return 0;
        }
        if (wParam == GraceTimer) {
          OnGraceTimer(window);
          return 0;
        }
        if (wParam == RegistrationRetryTimer) {
          OnRegistrationRetry(window);
          return 0;
        }
        break;
      case WM_WTSSESSION_CHANGE:
        OnSessionChange(wParam, window);
        break;  // the host sees the notification too
      case WM_COMMAND:
        OnHostCommand(window, wParam);
        break;
      case WM_USER:
        if (HostScreenSaverSelector != 0 && lParam == HostScreenSaverSelector) {
          OnScreenSaverMessage(window);
          return 0;
        }
        break;
      default:
        break;
    }
    if (RegisteredScreenSaverMessage != 0 && message == RegisteredScreenSaverMessage) {
      OnScreenSaverMessage(window);
      return 0;
    }
    if (IsCommandsHandledMessage(message)) {
      OnCommandsHandled(wParam);
      return 0;
    }
  }
  if (message == WM_NCDESTROY && window == SubclassedWindow) SubclassedWindow = nullptr;
  return CallHostProcedure(window, message, wParam, lParam);
}

namespace {

// Takes everything of ours off the host window. pin_if_covered: when another subclass sits
// on top of ours, keep the DLL mapped (impossible once the module is already unloading).
void DetachFromHostWindow(HWND host, bool pin_if_covered) {
  // Nothing of ours may fire on the host window any more.
  KillTimer(host, RegistrationRetryTimer);
  CancelReactionTimers(host);
  // The hook no longer sees the host handle what is still on its way.
  ForgetCommandsOnTheirWay();
  if (!HookActive) return;
  HookActive = false;

  if (!IsWindow(host)) return;  // the host destroyed its window before quit
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(host, GWLP_WNDPROC)) == HostWindowProc) {
    SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviousHostWindowProc));
    SubclassedWindow = nullptr;
    return;
  }
  if (!pin_if_covered) return;
  // Someone subclassed on top of us and will go on calling HostWindowProc, which now only
  // passes messages on: keep our code mapped for the life of the process.
  PinModule();
}

// A host that frees the DLL without calling quit must not be left with a window procedure
// in unmapped code. Only window-local calls here: this runs under the loader lock.
struct HostWindowTeardown {
  ~HostWindowTeardown() {
    if (HookActive) DetachFromHostWindow(PluginHeader.hwndParent, false);
  }
} TheHostWindowTeardown;

}  // namespace

void ReleaseHostWindow(HWND host) {
  if (RegisteredForNotifications) {
    WTSUnRegisterSessionNotification(host);
    RegisteredForNotifications = false;
  }
  DetachFromHostWindow(host, true);
}
