// The plug-in's settings: a rule for each of three session events and three options,
// stored as nine keys in section "gen_corvane" of the host's INI file.
//
// Classes in this file:
//   EventReaction     - one rule: an action, a delay and the scratch space for its keys.
//   ReactionSettings  - the three rules and the three options, with their INI storage.
#pragma once

#include <windows.h>

#include <cstdint>

// What the plug-in tells the host when a rule fires. Stored as a 32-bit integer.
enum ActionCode : int32_t {
  Pause = 1,
  Stop = 2,
  StopWithFade = 3,
  StopAfterCurrent = 4,
  PlayOrResume = 5,
  PlayNext = 6,
  CloseHost = 7,
  DoNothing = 8,
};

// True for the actions that wait for a rule's delay: 1, 2, 3, 5 and 6.
bool ActionUsesDelay(int32_t action);

constexpr int32_t MinDelaySeconds = 0;
constexpr int32_t MaxDelaySeconds = 60;

struct EventReaction {
  EventReaction();

  // Stores 1 to 8 as given, anything else as DoNothing.
  void SetAction(int32_t code);
  // Clamps to 0..60.
  void SetDelay(int32_t seconds);
  // Formats "<event>_<field>" into key_buffer and returns it.
  const wchar_t* FormatKey(const wchar_t* event_word, const wchar_t* field_word);
  void ReadFromIni(const wchar_t* path, const wchar_t* section, const wchar_t* event_word);
  bool WriteToIni(const wchar_t* section, const wchar_t* path, const wchar_t* event_word);

  int32_t action;
  int32_t delay;
  wchar_t key_buffer[50];
};

struct ReactionSettings {
  ReactionSettings();

  void ResetToDefaults();
  void SetIniLocation(const wchar_t* path);
  void LoadFromIni();
  // Writes all nine keys; true when every write succeeded. Otherwise false, with GetLastError()
  // telling why the first write failed; without a path false, and nothing is written.
  bool SaveToIni();
  bool ReadFlag(const wchar_t* key, bool current);
  bool WriteFlag(const wchar_t* key, bool value);
  // Whether the INI file holds the settings' section (false without a path).
  bool IniHoldsSection() const;
  // Takes the settings' section, and nothing else, out of the INI file.
  bool RemoveFromIni() const;

  EventReaction lock;
  EventReaction unlock;
  EventReaction login;
  bool play_only_when_paused_or_stopped;
  bool always_stop_streams;
  bool lock_on_screensaver;
  const wchar_t* ini_path;
  const wchar_t* ini_section;
};

// The section of the host's INI file that holds the settings.
constexpr wchar_t SettingsSection[] = L"gen_corvane";

// Makes path, a buffer from new[], the live settings' INI path; the controller owns it until
// the next init replaces it or the module unloads. Null changes nothing.
void AdoptIniPath(wchar_t* path);

// At init: hands the host window and the screen saver ids to the controller, asks the host for its INI path (the
// wide one where the host has it, else the ANSI copy), loads the live settings from it and
// starts the screen saver watch.
void InitFromHost(HWND host);
