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

// The host's playing state: while commands of the plug-in are on their way, the one they
// lead to, otherwise the host's answer to query 104.
int32_t QueryPlayingState(HWND host);
// The marker the engine posts behind a reaction's commands: the host window's subclass takes
// it and hands it to OnCommandsHandled, since the host has handled all of them by then.
bool IsCommandsHandledMessage(UINT message);
void OnCommandsHandled(WPARAM marker);
// A command about to reach the host's own procedure: the user's, unless commands of ours are
// still on their way; what it does to stop-after-current is followed here.
void OnHostCommand(HWND host, WPARAM wParam);
// At quit: nothing posted before counts as on its way any more.
void ForgetCommandsOnTheirWay();
bool CurrentItemIsStream(HWND host);
bool MayStartPlayback();
