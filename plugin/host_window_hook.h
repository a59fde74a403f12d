// The plug-in's hold on the host's main window: session-change notifications registered
// for it, and HostWindowProc subclassed onto it, which takes the session changes, the
// plug-in's timers and the screen saver message and hands everything else to the host.
#pragma once

#include <windows.h>

// How registering and subclassing went at init.
enum class HookResult {
  Hooked,         // registered and subclassed
  RetryPending,   // the session services are not up yet: subclassed, registration retried
  Failed,         // GetLastError() tells why; the window is not subclassed
};

HookResult RegisterAndSubclass(HWND host);

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls of the host's own procedure from HostWindowProc now on the stack (a dialog or box of
// the player's, opened from its main window, runs inside one).
extern int HostProcedureDepth;

// At quit: unregisters, kills the plug-in's timers and gives the window back its previous
// procedure when HostWindowProc is still the one installed. When another subclass sits on
// top of ours, the DLL is pinned instead, so that the chain never calls into freed code.
void ReleaseHostWindow(HWND host);

// The session services answer this until they have started (the host often starts with
// Windows, before they have).
constexpr DWORD SessionServicesNotReady = RPC_S_INVALID_BINDING;

// Seams for the tests: the registration call, and how often and how long it is retried.
using RegisterSessionNotificationFunction = BOOL(WINAPI*)(HWND, DWORD);
extern RegisterSessionNotificationFunction RegisterSessionNotification;
extern UINT RegistrationRetryIntervalMs;
extern int RegistrationRetryLimit;

// State of the hook, for quit and for the tests.
extern bool RegisteredForNotifications;
extern WNDPROC PreviousHostWindowProc;
