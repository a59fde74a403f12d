// Treats the start of a screen saver that secures the session as a lock: the worker
// reports a running screen saver, and the lock rule runs after the Windows grace period
// unless the user has come back by then.
#pragma once

#include <windows.h>

#include <cstdint>

// How the worker's message reaches the host window: a selector the host handed out
// (WM_USER with it in lParam) or, without one, a registered window message. At most one
// of the two is non-zero.
extern int32_t HostScreenSaverSelector;
extern UINT RegisteredScreenSaverMessage;

bool ObtainScreenSaverMessage(HWND host);

void StartOrResumeWatch();
void SuspendWatch();
void StopWatch();
void UpdateWatchAfterConfig();

void OnScreenSaverMessage(HWND host);
// The expiry of GraceTimer.
void OnGraceTimer(HWND host);

// Whether Windows asks for the password when the screen saver ends, so that its start counts
// as a lock. The options dialog shows its hint when it does not.
bool ScreenSaverLocksSession();
// Seam for the tests: the system-parameters call that answers the question from Vista on.
using SystemParametersInfoFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
extern SystemParametersInfoFunction SystemParametersInfoCall;
bool IsScreenSaverRunning();
int32_t QueryGracePeriod();
int32_t ReadRegistryNumber(HKEY root, const wchar_t* key_path, const wchar_t* value_name, int32_t default_value);
