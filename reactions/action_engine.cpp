#include "reactions/action_engine.h"

#include "host/host_api.h"
#include "reactions/session_controller.h"

namespace {

// Which of the two reaction timers is armed while TimerPending is set: an expiry of the
// other one (a stray WM_TIMER) must not run the pending action early.
UINT_PTR ArmedTimer = 0;

// The last state-changing command posted, until the host has handled it or for at most a
// second (the host may never see it pass): until then query 104 still answers the state
// before it, and pause toggles while play restarts a playing track.
struct CommandOnItsWay {
  WPARAM command;
  int32_t state_after;
  DWORD posted_at;
};
CommandOnItsWay InFlight = {0, 0, 0};
constexpr DWORD CommandOnItsWayMs = 1000;

void PostCommand(HWND host, WPARAM command) {
  if (!PostMessageW(host, WM_COMMAND, command, 0)) return;
  int32_t state_after;
  switch (command) {
    case host::CommandPause:
      state_after = host::StatePaused;
      break;
    case host::CommandStop:
    case host::CommandStopWithFade:
      state_after = host::StateStopped;
      break;
    case host::CommandPlay:
      state_after = host::StatePlaying;
      break;
    default:  // next track, stop after the current one: the track plays on as it did
      return;
  }
  InFlight = {command, state_after, GetTickCount()};
}

// Pause, stop, fade-out and stop-after-current act only on running playback, and only
// then does the plug-in remember that it interrupted it.
void InterruptPlayback(HWND host, int32_t state, WPARAM command) {
  if (state != host::StatePlaying) return;
  PostCommand(host, command);
  Controller.PausedByPlugin = true;
}

}  // namespace

int32_t QueryPlayingState(HWND host) {
  if (InFlight.command != 0 && GetTickCount() - InFlight.posted_at < CommandOnItsWayMs) return InFlight.state_after;
  InFlight.command = 0;
  return static_cast<int32_t>(SendMessageW(host, WM_USER, 0, host::QueryPlayingState));
}

void OnHostCommandHandled(WPARAM wParam) {
  if (LOWORD(wParam) == InFlight.command) InFlight.command = 0;
}

bool CurrentItemIsStream(HWND host) {
  // A stopped host has no current item worth asking about; anything but playing or paused
  // counts as stopped.
  const int32_t state = QueryPlayingState(host);
  if (state != host::StatePlaying && state != host::StatePaused) return false;
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
      InterruptPlayback(host, state, host::CommandPause);
      break;
    case Stop:
      if (state == host::StatePaused && stop_paused_stream) {
        PostCommand(host, host::CommandStop);  // a paused stream: playback was not running
      } else {
        InterruptPlayback(host, state, host::CommandStop);
      }
      break;
    case StopWithFade:
      InterruptPlayback(host, state, host::CommandStopWithFade);
      break;
    case StopAfterCurrent:
      InterruptPlayback(host, state, host::CommandStopAfterCurrent);
      break;
    case PlayOrResume:
      if (state != host::StatePlaying && MayStartPlayback()) PostCommand(host, host::CommandPlay);
      Controller.PausedByPlugin = false;
      break;
    case PlayNext:
      if (state != host::StatePlaying && MayStartPlayback()) {
        PostCommand(host, host::CommandStop);
        PostCommand(host, host::CommandNextTrack);
        PostCommand(host, host::CommandPlay);
      }
      Controller.PausedByPlugin = false;
      break;
    case CloseHost:
      PostMessageW(host, WM_CLOSE, 0, 0);
      break;
    default:  // DoNothing, and any code the settings never hold
      break;
  }
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
