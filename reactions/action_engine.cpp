#include "reactions/action_engine.h"

#include <cstring>

#include "host/host_api.h"
#include "reactions/session_controller.h"

namespace {

// Which of the two reaction timers is armed while TimerPending is set: an expiry of the
// other one (a stray WM_TIMER) must not run the pending action early.
UINT_PTR ArmedTimer = 0;

// The commands posted and not yet handled, in a ring of the latest few. Each counts until
// the host's procedure has returned from it: until then query 104 still answers the state
// before it, and pause toggles while play restarts a playing track. Posted messages arrive
// in order, so the oldest with a handled command's id is the one handled. Should the host
// swallow one (a message filter, a subclass above ours), the time limit ends them all.
constexpr unsigned CommandSlots = 16;
WORD OnTheirWay[CommandSlots];  // 0: a free slot
unsigned NextSlot = 0;
DWORD LastPostedAt = 0;

// The playing state a command leads to, or -1 for next track and stop-after-current, after
// which the track plays on as it did.
int32_t StateAfter(WPARAM command) {
  switch (command) {
    case host::CommandPause:
      return host::StatePaused;
    case host::CommandStop:
    case host::CommandStopWithFade:
      return host::StateStopped;
    case host::CommandPlay:
      return host::StatePlaying;
    default:
      return -1;
  }
}

// The newest command on its way that is `command` or, for 0, that changes the playing
// state; 0 when there is none.
WORD NewestOnItsWay(WPARAM command) {
  if (GetTickCount() - LastPostedAt >= CommandOnItsWayLimitMs) ForgetCommandsOnTheirWay();
  for (unsigned i = NextSlot; i != NextSlot - CommandSlots;) {
    const WORD posted = OnTheirWay[--i % CommandSlots];
    if (posted != 0 && (command == 0 ? StateAfter(posted) >= 0 : posted == command)) return posted;
  }
  return 0;
}

void PostCommand(HWND host, WPARAM command) {
  if (!PostMessageW(host, WM_COMMAND, command, 0)) return;
  OnTheirWay[NextSlot++ % CommandSlots] = static_cast<WORD>(command);
  LastPostedAt = GetTickCount();
}

LRESULT AskHost(HWND host, LPARAM selector) { return SendMessageW(host, WM_USER, 0, selector); }

// Whether the host's stop-after-current is armed, and by whom: by the plug-in while
// StopAfterCurrentByPlugin stays set, by the user while StopAfterCurrentByUser does. Players
// from 5.58 on say whether it is armed; before that only the toggles seen pass for it, and
// only for as long as the same track is current.
bool StopAfterCurrentArmed(HWND host) {
  SessionController& c = Controller;
  // While a 40157 of ours is on its way, the host still answers as before it.
  if (NewestOnItsWay(host::CommandStopAfterCurrent) != 0) return c.StopAfterCurrentByPlugin;
  const int32_t track = static_cast<int32_t>(AskHost(host, host::QueryPlaylistPosition));
  const bool same_track = c.HostReportsStopAfterCurrent || track == c.StopAfterCurrentTrack;
  const bool ours = c.StopAfterCurrentByPlugin && same_track;
  const bool users = c.StopAfterCurrentByUser && same_track;
  const bool armed = c.HostReportsStopAfterCurrent
                         ? AskHost(host, host::QueryStopAfterCurrent) == host::StopAfterCurrentArmed
                         : ours || users;
  c.StopAfterCurrentByPlugin = ours && armed;
  c.StopAfterCurrentByUser = users && armed;
  c.StopAfterCurrentTrack = track;
  return armed;
}

// A rule that plays, resumes or skips means the user is back: the plug-in's own
// stop-after-current goes first, with the track playing (the host toggles it only then).
// Returns whether it resumed a paused track for that.
bool TakeBackStopAfterCurrent(HWND host, int32_t state) {
  StopAfterCurrentArmed(host);
  if (!Controller.StopAfterCurrentByPlugin) return false;
  Controller.StopAfterCurrentByPlugin = false;
  const bool resume = state == host::StatePaused;
  if (resume) PostCommand(host, host::CommandPlay);
  PostCommand(host, host::CommandStopAfterCurrent);
  return resume;
}

// Pause, stop, fade-out and stop-after-current act only on running playback, and only
// then does the plug-in remember that it interrupted it.
void InterruptPlayback(HWND host, int32_t state, WPARAM command) {
  if (state != host::StatePlaying) return;
  PostCommand(host, command);
  Controller.PausedByPlugin = true;
}

}  // namespace

DWORD CommandOnItsWayLimitMs = 30000;

int32_t QueryPlayingState(HWND host) {
  const WORD on_its_way = NewestOnItsWay(0);
  const int32_t state =
      on_its_way ? StateAfter(on_its_way) : static_cast<int32_t>(AskHost(host, host::QueryPlayingState));
  // A stopped host has ended the track, and with it its stop-after-current.
  if (state != host::StatePlaying && state != host::StatePaused) {
    Controller.StopAfterCurrentByPlugin = false;
    Controller.StopAfterCurrentByUser = false;
  }
  return state;
}

void OnHostCommandHandled(HWND host, WPARAM wParam) {
  for (unsigned i = NextSlot - CommandSlots; i != NextSlot; ++i) {
    if (OnTheirWay[i % CommandSlots] == LOWORD(wParam)) {
      OnTheirWay[i % CommandSlots] = 0;
      return;
    }
  }
  SessionController& c = Controller;
  const WORD command = LOWORD(wParam);
  // A player before 5.58 cannot say whether its track ended meanwhile: the user's own play,
  // stop or skip starts anew from what nobody has armed.
  if (!c.HostReportsStopAfterCurrent &&
      (command == host::CommandPreviousTrack || command == host::CommandPlay || command == host::CommandStop ||
       command == host::CommandNextTrack || command == host::CommandStopWithFade)) {
    c.StopAfterCurrentByPlugin = false;
    c.StopAfterCurrentByUser = false;
  }
  // The player toggles the switch only while a track plays.
  if (command != host::CommandStopAfterCurrent || AskHost(host, host::QueryPlayingState) != host::StatePlaying) return;
  // None of ours: the user toggled the switch. Armed, it is off now, and the plug-in no
  // longer takes anything back; otherwise it is the user's, which the plug-in leaves alone.
  const bool was_armed = c.StopAfterCurrentByPlugin || c.StopAfterCurrentByUser;
  c.StopAfterCurrentByPlugin = false;
  c.StopAfterCurrentByUser = !was_armed;
  c.StopAfterCurrentTrack = static_cast<int32_t>(AskHost(host, host::QueryPlaylistPosition));
}

void ForgetCommandsOnTheirWay() { std::memset(OnTheirWay, 0, sizeof(OnTheirWay)); }

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
      // Stopped, the player could keep our stop-after-current for the next play.
      if (state == host::StatePlaying) TakeBackStopAfterCurrent(host, state);
      if (state == host::StatePaused && stop_paused_stream) {
        PostCommand(host, host::CommandStop);  // a paused stream: playback was not running
      } else {
        InterruptPlayback(host, state, host::CommandStop);
      }
      break;
    case StopWithFade:
      if (state == host::StatePlaying) TakeBackStopAfterCurrent(host, state);
      InterruptPlayback(host, state, host::CommandStopWithFade);
      break;
    case StopAfterCurrent:
      // The host toggles the mode: armed already, by the user or by an earlier rule, it stays.
      if (state == host::StatePlaying && !StopAfterCurrentArmed(host)) {
        InterruptPlayback(host, state, host::CommandStopAfterCurrent);
        Controller.StopAfterCurrentByPlugin = true;
      }
      break;
    case PlayOrResume:
    case PlayNext: {
      // MayStartPlayback reads PausedByPlugin before it is cleared.
      const bool start = state != host::StatePlaying && MayStartPlayback();
      const bool resumed = TakeBackStopAfterCurrent(host, state);
      if (start && action == PlayNext) {
        PostCommand(host, host::CommandStop);
        PostCommand(host, host::CommandNextTrack);
      }
      if (start && (action == PlayNext || !resumed)) PostCommand(host, host::CommandPlay);
      Controller.PausedByPlugin = false;
      break;
    }
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
