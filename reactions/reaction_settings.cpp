#include "reactions/reaction_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "host/host_api.h"
#include "reactions/screensaver_watch.h"
#include "reactions/session_controller.h"

namespace {

constexpr wchar_t ActionWord[] = L"action";
constexpr wchar_t DelayWord[] = L"delay";
constexpr wchar_t LockWord[] = L"lock";
constexpr wchar_t UnlockWord[] = L"unlock";
constexpr wchar_t LoginWord[] = L"login";

constexpr wchar_t PlayOnlyKey[] = L"play_only_when_paused_or_stopped";
constexpr wchar_t StopStreamsKey[] = L"always_stop_streams";
constexpr wchar_t ScreenSaverKey[] = L"lock_on_screensaver";

// Room for four characters and the terminator. Stored values need two digits, but a record
// can be filled directly; values are pinned to what fits, which loads back exactly as the
// full number would (any action outside 1..8 is DoNothing, any delay beyond 0..60 clamps).
constexpr int ValueBufferLength = 5;
constexpr int32_t SmallestWritable = -999;
constexpr int32_t LargestWritable = 9999;

void FormatValue(int32_t value, wchar_t (&buffer)[ValueBufferLength]) {
  if (value < SmallestWritable) value = SmallestWritable;
  if (value > LargestWritable) value = LargestWritable;
  _itow(value, buffer, 10);
}

int32_t ReadInt(const wchar_t* section, const wchar_t* key, int32_t current, const wchar_t* path) {
  // The platform answers unsigned; the stored text may be negative.
  return static_cast<int32_t>(GetPrivateProfileIntW(section, key, current, path));
}

}  // namespace

bool ActionUsesDelay(int32_t action) {
  return action == Pause || action == Stop || action == StopWithFade || action == PlayOrResume || action == PlayNext;
}

EventReaction::EventReaction() : action(DoNothing), delay(0), key_buffer{} {}

void EventReaction::SetAction(int32_t code) { action = (code >= Pause && code <= DoNothing) ? code : DoNothing; }

void EventReaction::SetDelay(int32_t seconds) {
  delay = seconds < MinDelaySeconds ? MinDelaySeconds : (seconds > MaxDelaySeconds ? MaxDelaySeconds : seconds);
}

const wchar_t* EventReaction::FormatKey(const wchar_t* event_word, const wchar_t* field_word) {
  const size_t length = sizeof(key_buffer) / sizeof(key_buffer[0]);
  std::memset(key_buffer, 0, sizeof(key_buffer));
  // _snwprintf reads %s as a wide string with MSVC and MinGW alike (MinGW's ISO swprintf
  // would not); one place is left for the zero.
  _snwprintf(key_buffer, length - 1, L"%s_%s", event_word, field_word);
  return key_buffer;
}

void EventReaction::ReadFromIni(const wchar_t* path, const wchar_t* section, const wchar_t* event_word) {
  // A missing key answers the current value, so nothing the file lacks is lost.
  const int32_t code = ReadInt(section, FormatKey(event_word, ActionWord), action, path);
  if (code != 0) SetAction(code);
  SetDelay(ReadInt(section, FormatKey(event_word, DelayWord), delay, path));
}

bool EventReaction::WriteToIni(const wchar_t* section, const wchar_t* path, const wchar_t* event_word) {
  wchar_t text[ValueBufferLength];
  FormatValue(action, text);
  const BOOL action_written = WritePrivateProfileStringW(section, FormatKey(event_word, ActionWord), text, path);
  const DWORD action_error = GetLastError();
  FormatValue(delay, text);
  const BOOL delay_written = WritePrivateProfileStringW(section, FormatKey(event_word, DelayWord), text, path);
  // The caller learns why the first write failed.
  if (!action_written) SetLastError(action_error);
  return action_written && delay_written;
}

ReactionSettings::ReactionSettings() : ini_path(nullptr), ini_section(nullptr) { ResetToDefaults(); }

void ReactionSettings::ResetToDefaults() {
  lock.SetAction(Pause);
  lock.delay = 0;
  unlock.SetAction(PlayOrResume);
  unlock.delay = 2;
  login.SetAction(DoNothing);
  login.delay = 0;
  play_only_when_paused_or_stopped = true;
  always_stop_streams = true;
  lock_on_screensaver = true;
}

void ReactionSettings::SetIniLocation(const wchar_t* path) {
  ini_path = path;
  ini_section = SettingsSection;
}

void ReactionSettings::LoadFromIni() {
  // Without a path the platform would read win.ini instead.
  if (!ini_path || !ini_section) return;
  lock.ReadFromIni(ini_path, ini_section, LockWord);
  unlock.ReadFromIni(ini_path, ini_section, UnlockWord);
  login.ReadFromIni(ini_path, ini_section, LoginWord);
  play_only_when_paused_or_stopped = ReadFlag(PlayOnlyKey, play_only_when_paused_or_stopped);
  always_stop_streams = ReadFlag(StopStreamsKey, always_stop_streams);
  lock_on_screensaver = ReadFlag(ScreenSaverKey, lock_on_screensaver);
}

bool ReactionSettings::SaveToIni() {
  // Without a path the platform would write into win.ini.
  if (!ini_path || !ini_section) return false;
  // Every key is attempted, in the same order; the first failure's error is kept.
  bool saved = true;
  DWORD first_error = ERROR_SUCCESS;
  auto note = [&](bool written) {
    if (!written && saved) first_error = GetLastError();
    saved = saved && written;
  };
  note(lock.WriteToIni(ini_section, ini_path, LockWord));
  note(unlock.WriteToIni(ini_section, ini_path, UnlockWord));
  note(login.WriteToIni(ini_section, ini_path, LoginWord));
  note(WriteFlag(PlayOnlyKey, play_only_when_paused_or_stopped));
  note(WriteFlag(StopStreamsKey, always_stop_streams));
  note(WriteFlag(ScreenSaverKey, lock_on_screensaver));
  if (!saved) SetLastError(first_error);
  return saved;
}

bool ReactionSettings::ReadFlag(const wchar_t* key, bool current) {
  return GetPrivateProfileIntW(ini_section, key, current ? 1 : 0, ini_path) != 0;
}

bool ReactionSettings::WriteFlag(const wchar_t* key, bool value) {
  return WritePrivateProfileStringW(ini_section, key, value ? L"1" : L"0", ini_path) != FALSE;
}

bool ReactionSettings::IniHoldsSection() const {
  if (!ini_path || !ini_section) return false;
  // The names come zero-terminated, one after the other; an answer of the buffer's size less
  // two means they did not all fit, and a larger buffer is tried.
  for (DWORD size = 4096; size <= (1u << 22); size *= 4) {
    wchar_t* names = new (std::nothrow) wchar_t[size];
    if (!names) return false;
    const DWORD length = GetPrivateProfileSectionNamesW(names, size, ini_path);
    bool found = false;
    if (length < size - 2) {
      for (const wchar_t* name = names; name < names + length && *name; name += wcslen(name) + 1) {
        found = found || lstrcmpiW(name, ini_section) == 0;
      }
    }
    delete[] names;
    if (length < size - 2) return found;
  }
  return false;
}

bool ReactionSettings::RemoveFromIni() const {
  if (!ini_path || !ini_section) return false;
  // No key name: the whole section goes.
  return WritePrivateProfileStringW(ini_section, nullptr, nullptr, ini_path) != FALSE;
}

namespace {

// Windows paths are at most this long; a string that runs on is taken for no path.
constexpr size_t LongestPath = 32767;

// The answer to query 1334 as a path: a value that can be a pointer (hosts that do not know
// the query answer 0 or 1) to a non-empty zero-terminated wide string; otherwise null.
const wchar_t* WidePathAnswer(LRESULT answer) {
  if (static_cast<ULONG_PTR>(answer) < host::LowestPointerAnswer) return nullptr;
  const wchar_t* path = reinterpret_cast<const wchar_t*>(answer);
  const size_t length = wcsnlen(path, LongestPath + 1);
  return length > 0 && length <= LongestPath ? path : nullptr;
}

// The plug-in's own copy of the host's wide path, for AdoptIniPath; null when it cannot be
// allocated.
wchar_t* CopyWidePath(const wchar_t* path) {
  const size_t length = wcslen(path) + 1;
  wchar_t* buffer = new (std::nothrow) wchar_t[length];
  if (buffer) std::memcpy(buffer, path, length * sizeof(wchar_t));
  return buffer;
}

// The host's answer to query 334 as a wide copy for AdoptIniPath, or null when the host gave
// nothing usable (a host before 2.90 answers 1, which is no pointer).
wchar_t* ConvertHostPath(LRESULT answer) {
  if (static_cast<ULONG_PTR>(answer) < host::LowestPointerAnswer) return nullptr;
  const char* ansi_path = reinterpret_cast<const char*>(answer);
  const int length = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi_path, -1, nullptr, 0);
  if (length <= 1) return nullptr;  // failed, or only the terminator
  wchar_t* buffer = new (std::nothrow) wchar_t[length];
  if (!buffer) return nullptr;
  if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi_path, -1, buffer, length) != length) {
    delete[] buffer;
    return nullptr;
  }
  return buffer;
}

}  // namespace

void AdoptIniPath(wchar_t* path) {
  if (!path) return;
  wchar_t* previous = Controller.IniPathBuffer;
  Controller.IniPathBuffer = path;
  Controller.Settings.SetIniLocation(path);
  delete[] previous;
}

void InitFromHost(HWND host) {
  // The worker is made from these copies; the hook reads the ids where init obtained them.
  Controller.HostWindow = host;
  Controller.HostSelector = HostScreenSaverSelector;
  Controller.RegisteredMessage = RegisteredScreenSaverMessage;

  // The wide path first: the ANSI copy turns every character outside the code page into
  // '?' and then names a file that cannot exist.
  wchar_t* path = nullptr;
  const wchar_t* wide = WidePathAnswer(SendMessageW(host, WM_USER, 0, host::QueryIniPathWide));
  // Only a host that knows 1334 knows query 658; an older one answers 1 to both, unknown queries.
  Controller.HostReportsStopAfterCurrent = wide != nullptr;
  if (wide) {
    path = CopyWidePath(wide);
  } else {
    path = ConvertHostPath(SendMessageW(host, WM_USER, 0, host::QueryIniPath));
  }
  // Without a usable path the settings stay unset: loading and saving then do nothing,
  // rather than falling back to win.ini.
  AdoptIniPath(path);
  Controller.Settings.LoadFromIni();
  StartOrResumeWatch();
}
