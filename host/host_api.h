// The host player's window messages, and the ids the plug-in uses on the host window.
// Queries are sent, commands are posted; nothing else goes to the host.
#pragma once

#include <windows.h>

namespace host {

// Queries: SendMessageW(host, WM_USER, wParam, selector).
constexpr LPARAM QueryPlayingState = 104;   // answers 1 playing, 3 paused, anything else stopped
constexpr LPARAM QueryCurrentLength = 105;  // with wParam LengthInSeconds; -1 means a stream
constexpr WPARAM LengthInSeconds = 1;
constexpr LPARAM QueryPlaylistLength = 124;     // answers the number of tracks in the playlist
constexpr LPARAM QueryPlaylistPosition = 125;   // answers the current track's place in the playlist
constexpr LPARAM QueryIniPath = 334;            // answers a pointer to the host's ANSI copy of its path
constexpr LPARAM QueryIniPathWide = 1334;       // answers a pointer to the wide path; older hosts 1
constexpr LPARAM QueryDialogParent = 619;       // answers a window to centre dialogs on; 0 or 1: none
constexpr LPARAM QueryStopAfterCurrent = 658;   // hosts from 5.58 on; older ones answer 1, "not armed"
constexpr LPARAM QueryRegisterMessage = 65536;  // wParam: an ANSI name; answers 0 or 1 when none

// An answer below this cannot be a pointer (the lowest 64 KB are never mapped); a host
// answers 1 to a query it does not know.
constexpr ULONG_PTR LowestPointerAnswer = 0x10000;

constexpr LRESULT StatePlaying = 1;
constexpr LRESULT StatePaused = 3;
constexpr LRESULT StateStopped = 0;
constexpr LRESULT StreamLength = -1;
constexpr LRESULT StopAfterCurrentArmed = 0;  // query 658's answer, inverted: 1 while not armed

// Commands: PostMessageW(host, WM_COMMAND, id, 0). WM_CLOSE closes the host.
constexpr WPARAM CommandPreviousTrack = 40044;  // never posted; the user's own, seen passing
constexpr WPARAM CommandPlay = 40045;
constexpr WPARAM CommandPause = 40046;
constexpr WPARAM CommandStop = 40047;
constexpr WPARAM CommandNextTrack = 40048;
constexpr WPARAM CommandStopWithFade = 40147;
constexpr WPARAM CommandStopAfterCurrent = 40157;

}  // namespace host

// Window timers of the plug-in on the host window (no callback: they arrive as WM_TIMER).
constexpr UINT_PTR DelayTimer = 26983;              // a rule's own delay
constexpr UINT_PTR GraceTimer = 51104;              // a screen saver reaction, at least the grace period
constexpr UINT_PTR RegistrationRetryTimer = 26984;  // registration for session changes retried

// Name under which the screen saver message is registered with the host (which reads it as
// ANSI) or with Windows.
constexpr char ScreenSaverMessageNameAnsi[] = "gen_corvane_screensaver";
constexpr wchar_t ScreenSaverMessageName[] = L"gen_corvane_screensaver";

// The plug-in's own message, posted to the host window behind the commands of a reaction and
// taken back by its subclass: once it is back, the host has handled every command before it.
constexpr wchar_t CommandsHandledMessageName[] = L"gen_corvane_commands_handled";
