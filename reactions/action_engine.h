// Turns one rule into host commands, at once or when its reaction timer expires, and
// remembers whether the plug-in itself interrupted playback. Runs on the host's
// user-interface thread; every call takes the host window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "reactions/reaction_settings.h"

// The longest a window timer can wait, in whole seconds; a longer wait is cut to this.
constexpr int32_t LongestTimerSeconds = static_cast<int32_t>(USER_TIMER_MAXIMUM / 1000);

void ApplyRule(const EventReaction& rule, HWND host);
void ExecuteAction(int32_t delay, HWND host, int32_t action, bool stop_paused_stream);
bool ArmReactionTimer(int32_t delay, int32_t action, HWND host);
void CancelReactionTimers(HWND host);
// True while the given reaction timer (DelayTimer or GraceTimer) is the armed one.
bool ReactionTimerArmed(UINT_PTR timer);
// The expiry of DelayTimer.
void OnDelayTimer(HWND host);

// The host's playing state: the one the newest state-changing command posted leads to while
// that command is still on its way, otherwise the host's answer to query 104.
int32_t QueryPlayingState(HWND host);
// Called by the host window's procedure once the host's own procedure has returned from a
// WM_COMMAND.
void OnHostCommandHandled(HWND host, WPARAM wParam);
// At quit: nothing posted before counts as on its way any more.
void ForgetCommandsOnTheirWay();
// The longest a posted command counts as on its way, for a host that never handles it;
// tens of seconds, as a slow host can take seconds for one message. A seam for the tests.
extern DWORD CommandOnItsWayLimitMs;
bool CurrentItemIsStream(HWND host);
bool MayStartPlayback();
