// Placeholder until the screen saver watch is built.
#include "reactions/screensaver_watch.h"

int32_t HostScreenSaverSelector = 0;
UINT RegisteredScreenSaverMessage = 0;

bool ObtainScreenSaverMessage(HWND) { return false; }
void StartOrResumeWatch() {}
void SuspendWatch() {}
void StopWatch() {}
void UpdateWatchAfterConfig() {}
void OnScreenSaverMessage(HWND) {}
void OnGraceTimer(HWND) {}
bool ScreenSaverLocksSession() { return true; }
bool IsScreenSaverRunning() { return false; }
int32_t QueryGracePeriod() { return 6; }
int32_t ReadRegistryNumber(HKEY, const wchar_t*, const wchar_t*, int32_t default_value) { return default_value; }
