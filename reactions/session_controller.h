// The one live record of the reaction subsystem: the settings, the screen saver worker
// and the state of the action engine. Everything but the worker's own flags belongs to the
// host's user-interface thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "reactions/reaction_settings.h"

class CPollingThread;

// Who armed the host's stop-after-current, as far as the plug-in knows. On players before
// 5.58 this is all that is known of the switch: anything but Nobody means armed.
enum StopAfterCurrentOwner : int8_t { ArmedByNobody, ArmedByPlugin, ArmedByUser };

struct SessionController {
  SessionController();
  // Static teardown: a worker still present at unload, and the INI path, are deleted here.
  ~SessionController();
  SessionController(const SessionController&) = delete;
  SessionController& operator=(const SessionController&) = delete;

  ReactionSettings Settings;
  CPollingThread* Worker;            // the screen saver watch, or none
  bool SessionAttached;              // this session owns the console
  bool TimerPending;                 // a reaction timer is armed and its action has not run
  bool PausedByPlugin;               // the engine paused or stopped running playback
  bool ScreenSaverTriggered;         // the rule now being applied reacts to the screen saver
  int32_t GracePeriodSeconds;        // the least delay for that reaction
  int32_t PendingAction;             // an ActionCode, run when the armed timer expires
  HWND HostWindow;                   // handed to the worker when it is created
  int32_t HostSelector;              // the host screen saver selector, or 0, as init took it over
  UINT RegisteredMessage;            // the registered screen saver message, or 0, likewise
  wchar_t* IniPathBuffer;            // owns the live settings' ini_path (AdoptIniPath)
  bool HostReportsStopAfterCurrent;  // query 1334 answered a path: the host answers query 658
  StopAfterCurrentOwner StopAfterCurrentArmedBy;
  int32_t StopAfterCurrentTrack;  // older players: the playlist position it was armed at
};

// Constructed during the module's static set-up, before the host calls anything.
extern SessionController Controller;
