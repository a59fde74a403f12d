#include "reactions/action_engine.h"

#include "host/host_api.h"
#include "reactions/session_controller.h"

namespace {

// Which of the two reaction timers is armed while TimerPending is set: an expiry of the
// other one (a stray WM_TIMER) must not run the pending action early.
UINT_PTR ArmedTimer = 0;

// Commands posted reach the host window in order, so a marker posted behind a reaction's
// commands comes back through the hook only once the host has handled all of them. Until
// then the host still answers as before them, and the state they lead to stands in. The
// marker passes whatever else subclasses the host window, also where a command of ours does
// not reach the hook (another subclass above it that handles the command itself).
UINT CommandsHandledMessage = 0;
// Counted from a different start in each load of the DLL, so that a marker an earlier load
// left in the queue is not taken for one of this load's.
DWORD MarkersPosted = GetTickCount();
DWORD MarkersBack = MarkersPosted;
bool Unmarked = false;  // commands posted that no marker follows yet
int32_t StateAfterCommands = host::StateStopped;

bool CommandsOnTheirWay() { return Unmarked || MarkersBack != MarkersPosted; }

void PostCommand(HWND host, WPARAM command, int32_t leads_to) {
  if (!PostMessageW(host, WM_COMMAND, command, 0)) return;
  Unmarked = true;
  StateAfterCommands = leads_to;
}

LRESULT AskHost(HWND host, LPARAM selector) { return SendMessageW(host, WM_USER, 0, selector); }

bool TrackLoaded(int32_t state) { return state == host::StatePlaying || state == host::StatePaused; }

// The switch is armed now, by the plug-in or by the user.
void Arm(HWND host, StopAfterCurrentOwner owner) {
  Controller.StopAfterCurrentArmedBy = owner;
  Controller.StopAfterCurrentTrack = static_cast<int32_t>(AskHost(host, host::QueryPlaylistPosition));
}

// Whether the host's stop-after-current is armed. Players from 5.58 on say so; before that
// only the toggles and starts seen at the host window pass for it, and a track started where
// the plug-in could not see it (from the playlist) shows by its other position.
bool StopAfterCurrentArmed(HWND host) {
  StopAfterCurrentOwner& owner = Controller.StopAfterCurrentArmedBy;
  if (CommandsOnTheirWay()) return owner != ArmedByNobody;
  const bool armed =
      Controller.HostReportsStopAfterCurrent
          ? AskHost(host, host::QueryStopAfterCurrent) == host::StopAfterCurrentArmed
          : owner != ArmedByNobody && AskHost(host, host::QueryPlaylistPosition) == Controller.StopAfterCurrentTrack;
  if (!armed) owner = ArmedByNobody;
  if (armed && owner == ArmedByNobody) owner = ArmedByUser;  // armed where the plug-in could not see it
  return armed;
}

// Pause, stop and fade-out act only on running playback, and only then does the plug-in
// remember that it interrupted it.
void InterruptPlayback(HWND host, int32_t state, WPARAM command, int32_t leads_to) {
  if (state != host::StatePlaying) return;
  PostCommand(host, command, leads_to);
  Controller.PausedByPlugin = true;
}

void StartOrResume(HWND host, int32_t state, int32_t action) {
  const bool start = state != host::StatePlaying && MayStartPlayback();
  Controller.PausedByPlugin = false;
  if (start && (action == PlayNext || state != host::StatePaused)) {
    // Play on an empty playlist opens the player's file dialog, over a desktop the user has
    // just come back to: nothing is started then.
    if (AskHost(host, host::QueryPlaylistLength) != 0) {
      if (action == PlayNext) {
        PostCommand(host, host::CommandStop, host::StateStopped);
        PostCommand(host, host::CommandNextTrack, host::StateStopped);
      }
      // The start of a track switches stop-after-current off.
      PostCommand(host, host::CommandPlay, host::StatePlaying);
      Controller.StopAfterCurrentArmedBy = ArmedByNobody;
      return;
    }
  }
  // The user is back and the track goes on: the plug-in's own stop-after-current goes, with
  // the track still paused where it is, since resuming does not touch the switch.
  if (Controller.StopAfterCurrentArmedBy == ArmedByPlugin && StopAfterCurrentArmed(host)) {
    PostCommand(host, host::CommandStopAfterCurrent, state);
    Controller.StopAfterCurrentArmedBy = ArmedByNobody;
  }
  if (start && state == host::StatePaused && action == PlayOrResume) {
    PostCommand(host, host::CommandPlay, host::StatePlaying);
  }
}

// Behind the commands of a reaction; still on their way, earlier ones get a new marker too,
// which proves them should theirs be lost.
void PostMarker(HWND host) {
  if (CommandsOnTheirWay()) Unmarked = true;
  if (!Unmarked) return;
  Unmarked = false;
  if (CommandsHandledMessage == 0) CommandsHandledMessage = RegisterWindowMessageW(CommandsHandledMessageName);
  // Without a marker nothing counts as on its way, and the host's own answers are taken.
  if (CommandsHandledMessage != 0 && PostMessageW(host, CommandsHandledMessage, MarkersPosted + 1, 0)) ++MarkersPosted;
}

}  // namespace

int32_t QueryPlayingState(HWND host) {
  const int32_t state =
      CommandsOnTheirWay() ? StateAfterCommands : static_cast<int32_t>(AskHost(host, host::QueryPlayingState));
  // Stopped, the switch means nothing, and the next start of a track clears it.
  if (!TrackLoaded(state)) Controller.StopAfterCurrentArmedBy = ArmedByNobody;
  return state;
}

bool IsCommandsHandledMessage(UINT message) { return message != 0 && message == CommandsHandledMessage; }

void OnCommandsHandled(WPARAM marker) {
  // A later marker also stands for an earlier one that never came; one from before the
  // last ForgetCommandsOnTheirWay is older than every marker counted and changes nothing.
  const DWORD sequence = static_cast<DWORD>(marker);
  if (MarkersPosted - sequence < MarkersPosted - MarkersBack) MarkersBack = sequence;
}

void OnHostCommand(HWND host, WPARAM wParam) {
  // Ours, still on their way, were counted when they were posted.
  if (CommandsOnTheirWay()) return;
  StopAfterCurrentOwner& owner = Controller.StopAfterCurrentArmedBy;
  switch (LOWORD(wParam)) {
    case host::CommandStopAfterCurrent:
      // The player toggles it while a track is loaded, playing or paused. Whatever the user
      // does to it, the plug-in no longer takes it back. What it was is asked, not taken from
      // the record, which a track ended and started where the plug-in could not see leaves stale.
      if (TrackLoaded(QueryPlayingState(host))) Arm(host, StopAfterCurrentArmed(host) ? ArmedByNobody : ArmedByUser);
      break;
    case host::CommandPlay:
      // On a paused player play only resumes; otherwise it starts the track anew.
      if (QueryPlayingState(host) != host::StatePaused) owner = ArmedByNobody;
      break;
    case host::CommandPreviousTrack:
    case host::CommandNextTrack:
    case host::CommandStop:  // stopped, only a start can load a track, and it clears the switch
    case host::CommandStopWithFade:
      owner = ArmedByNobody;
      break;
    default:
      break;
  }
}

void ForgetCommandsOnTheirWay() {
  MarkersBack = MarkersPosted;
  Unmarked = false;
}

bool CurrentItemIsStream(HWND host) {
  // A stopped host has no current item worth asking about; anything but playing or paused
  // counts as stopped.
  if (!TrackLoaded(QueryPlayingState(host))) return false;
  return SendMessageW(host, WM_USER, host::LengthInSeconds, host::QueryCurrentLength) == host::StreamLength;
}

bool MayStartPlayback() { return !Controller.Settings.play_only_when_paused_or_stopped || Controller.PausedByPlugin; }

void CancelReactionTimers(HWND host) {
  if (!Controller.TimerPending) return;
  KillTimer(host, DelayTimer);
  KillTimer(host, GraceTimer);
  Controller.TimerPending = false;
  ArmedTimer = 0;
}

bool ReactionTimerArmed(UINT_PTR timer) { return Controller.TimerPending && ArmedTimer == timer; }

bool ArmReactionTimer(int32_t delay, int32_t action, HWND host) {
  CancelReactionTimers(host);

  int32_t seconds = delay;
  UINT_PTR timer = DelayTimer;
  if (Controller.ScreenSaverTriggered) {
    // A screen saver reaction waits out the grace period whatever the action, so that a
    // user who comes back in time is left alone. The hand-over is consumed here.
    if (Controller.GracePeriodSeconds > seconds) seconds = Controller.GracePeriodSeconds;
    Controller.ScreenSaverTriggered = false;
    Controller.GracePeriodSeconds = 0;
    if (seconds <= 0) return false;
    timer = GraceTimer;
  } else if (seconds <= 0 || !ActionUsesDelay(action)) {
    return false;
  }
  if (seconds > LongestTimerSeconds) seconds = LongestTimerSeconds;

  Controller.TimerPending = true;
  Controller.PendingAction = action;
  ArmedTimer = timer;
  // Killed at its expiry (OnDelayTimer, OnGraceTimer) or by the next rule (CancelReactionTimers).
  if (SetTimer(host, timer, static_cast<UINT>(seconds) * 1000u, nullptr) == 0) {
    // No timer will ever fire: stay idle, so the caller runs the action now instead of never.
    Controller.TimerPending = false;
    Controller.PendingAction = DoNothing;
    return false;
  }
  return true;
}

void ExecuteAction(int32_t delay, HWND host, int32_t action, bool stop_paused_stream) {
  if (ArmReactionTimer(delay, action, host)) return;

  const int32_t state = QueryPlayingState(host);
  switch (action) {
    case Pause:
      InterruptPlayback(host, state, host::CommandPause, host::StatePaused);
      break;
    case Stop:
      if (state == host::StatePaused && stop_paused_stream) {
        PostCommand(host, host::CommandStop, host::StateStopped);  // a paused stream: playback was not running
      } else {
        InterruptPlayback(host, state, host::CommandStop, host::StateStopped);
      }
      break;
    case StopWithFade:
      InterruptPlayback(host, state, host::CommandStopWithFade, host::StateStopped);
      break;
    case StopAfterCurrent:
      // The host toggles the switch: armed already, by the user or by an earlier rule, it stays.
      if (state == host::StatePlaying && !StopAfterCurrentArmed(host)) {
        InterruptPlayback(host, state, host::CommandStopAfterCurrent, state);
        Arm(host, ArmedByPlugin);
      }
      break;
    case PlayOrResume:
    case PlayNext:
      StartOrResume(host, state, action);
      break;
    case CloseHost:
      PostMessageW(host, WM_CLOSE, 0, 0);
      break;
    default:  // DoNothing, and any code the settings never hold
      break;
  }
  PostMarker(host);
}

void ApplyRule(const EventReaction& rule, HWND host) {
  // A paused internet stream falls behind its broadcast, so it is stopped instead when the
  // option asks for it; the choice is made now, and a delayed Stop stays a Stop.
  if (rule.action == Pause && Controller.Settings.always_stop_streams && CurrentItemIsStream(host)) {
    ExecuteAction(rule.delay, host, Stop, true);
  } else {
    ExecuteAction(rule.delay, host, rule.action, false);
  }
}

void OnDelayTimer(HWND host) {
  // A window timer repeats until killed, and a reaction runs at most once.
  KillTimer(host, DelayTimer);
  if (!ReactionTimerArmed(DelayTimer)) return;
  Controller.TimerPending = false;
  ArmedTimer = 0;
  const int32_t action = Controller.PendingAction;
  Controller.PendingAction = DoNothing;
  // The stream test of this moment lets a delayed Stop also end a paused stream.
  ExecuteAction(0, host, action, CurrentItemIsStream(host));
}
