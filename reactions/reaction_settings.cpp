// Placeholder until the settings are built.
#include "reactions/reaction_settings.h"

bool ActionUsesDelay(int32_t action) {
  return action == Pause || action == Stop || action == StopWithFade || action == PlayOrResume || action == PlayNext;
}
EventReaction::EventReaction() : action(DoNothing), delay(0), key_buffer{} {}
void EventReaction::SetAction(int32_t code) { action = (code >= 1 && code <= 8) ? code : DoNothing; }
void EventReaction::SetDelay(int32_t seconds) { delay = seconds < 0 ? 0 : (seconds > 60 ? 60 : seconds); }
const wchar_t* EventReaction::FormatKey(const wchar_t*, const wchar_t*) { return key_buffer; }
void EventReaction::ReadFromIni(const wchar_t*, const wchar_t*, const wchar_t*) {}
bool EventReaction::WriteToIni(const wchar_t*, const wchar_t*, const wchar_t*) { return false; }
ReactionSettings::ReactionSettings() : ini_path(nullptr), ini_section(nullptr) { ResetToDefaults(); }
void ReactionSettings::ResetToDefaults() {
  lock.SetAction(Pause);
  lock.delay = 0;
  unlock.SetAction(PlayOrResume);
  unlock.delay = 2;
  login.SetAction(DoNothing);
  login.delay = 0;
  play_only_when_paused_or_stopped = always_stop_streams = lock_on_screensaver = true;
}
void ReactionSettings::SetIniLocation(const wchar_t* path) {
  ini_path = path;
  ini_section = SettingsSection;
}
void ReactionSettings::LoadFromIni() {}
void ReactionSettings::SaveToIni() {}
bool ReactionSettings::ReadFlag(const wchar_t*, bool current) { return current; }
void ReactionSettings::WriteFlag(const wchar_t*, bool) {}
void InitFromHost(HWND) {}
