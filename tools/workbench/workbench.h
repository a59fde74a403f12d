// One run of the workbench: the stand-in host window, the plug-in loaded into it as the
// player loads it, the INI file and the pieces of Windows the plug-in watches. The script
// runner and the interactive window both act through it, and it logs what happens.
//
// Classes in this file:
//   Workbench  - the host, the plug-in and the scene around them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tools/standin/plugin_loader.h"
#include "tools/standin/standin_host.h"
#include "tools/workbench/event_log.h"
#include "tools/workbench/registry_override.h"
#include "tools/workbench/script.h"

namespace workbench {

enum class ConfigResult {
  Returned,      // config returned (after the dialog, if it showed one, was closed)
  NoDialog,      // a button was to be pressed, but no dialog appeared
  DialogStayed,  // the button was pressed, but the dialog did not close
};

class Workbench {
 public:
  explicit Workbench(EventLog& log);
  ~Workbench();  // ends the run as the player exits, if it has not ended
  Workbench(const Workbench&) = delete;
  Workbench& operator=(const Workbench&) = delete;

  // Creates the host window. An empty ini_path makes a fresh temporary INI file, removed at
  // the end; visible makes the window for interactive use (scripts run in a hidden one).
  bool Open(const std::wstring& plugin_path, const std::wstring& ini_path, bool visible);
  standin::StandInHost& Host() { return host_; }
  const std::wstring& IniPath() const { return ini_path_; }
  const std::wstring& PluginPath() const { return plugin_path_; }
  std::wstring PluginDescription() const { return description_; }

  // LoadLibrary, the export, hwndParent and hDllInstance, init. False when the DLL is no
  // plug-in or init refused (the player then frees it at once).
  bool LoadPlugin();
  bool Loaded() const { return loaded_; }

  // --- The player, as its user drives it --------------------------------------------------
  // An older player, which does not know query 1334 (the wide INI path); before the load.
  void SetOldHost(bool old);
  void SetPlayState(int state);
  void SetStream(bool on);
  void SetPlaylistLength(int tracks);
  void EndOfTrack();

  // --- Windows ------------------------------------------------------------------------------
  void SendSessionChange(WPARAM code);
  bool SetScreenSaver(bool running);
  static bool ScreenSaverRunning();
  bool SetRegistry(RegistryValue which, const std::wstring* text);
  static std::wstring ReadRegistry(RegistryValue which);

  // --- The plug-in's settings and dialog ------------------------------------------------------
  bool WriteIni(const std::wstring& key, const std::wstring& value);
  std::wstring ReadIni(const std::wstring& key) const;
  // Calls config with the host's preferences standing behind the dialog; presses a button
  // of the plug-in's dialog once it shows, after_ms later, unless press is None.
  ConfigResult Configure(DialogButton press, DWORD after_ms);
  bool Configuring() const { return configuring_; }

  // The user removes the plug-in in the player's preferences and has confirmed the player's
  // question: the player's road (winampUninstallPlugin, then quit, FreeLibrary, the file
  // deleted), after which the player runs on. answer (IDYES or IDNO) is pressed in the
  // plug-in's own question if it asks one; 0 leaves it to the user. False when the DLL could
  // not be freed. A plug-in that refuses makes the player restart: the run ends.
  bool Uninstall(int answer);
  bool Uninstalled() const { return uninstalled_; }

  // --- The end ------------------------------------------------------------------------------
  // True once the host window is gone (the plug-in closed the host, or the user did).
  bool HostClosed() const { return opened_ && !host_.Window(); }
  bool ClosedByUser() const { return closed_by_user_; }
  // After the window went away: the player calls quit, as at its normal exit.
  void QuitAfterClose();
  // Ends the run the way the player would. False (and logged) when the plug-in left the
  // host in a state that would take the player down.
  bool Exit(ExitMode mode);
  bool Exited() const { return exited_; }

  // Messages of the host window for the interactive window's controls; called before the
  // host's own handling, return true to take a message.
  void SetUiHandler(standin::StandInHost::MessageHandler handler) { ui_handler_ = std::move(handler); }
  // Called after every change the window may want to show.
  void SetChangeListener(std::function<void()> listener) { changed_ = std::move(listener); }

  EventLog& Log() { return log_; }

 private:
  static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
  bool HandleHostMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void OnHostEvent(const standin::HostEvent& e);
  void Note(const std::wstring& text);  // an indented log line
  void Changed();
  bool MakeTemporaryIni();
  void Quit(const wchar_t* when);
  void PollForDialog();
  void AnswerPluginQuestion();
  bool SafeToFree();
  void CleanUp();

  EventLog& log_;
  standin::StandInHost host_;
  standin::PluginLoader plugin_;
  RegistryOverrides registry_;
  std::wstring plugin_path_;
  std::wstring ini_path_;
  std::wstring temp_folder_;  // non-empty when the INI file is ours to remove
  std::wstring description_;
  HHOOK hook_ = nullptr;
  bool opened_ = false;
  bool loaded_ = false;
  bool quit_called_ = false;
  bool exited_ = false;
  bool closed_by_user_ = false;
  bool saver_started_ = false;
  bool configuring_ = false;
  bool uninstalled_ = false;
  int state_before_ = standin::proto::Stopped;
  standin::StandInHost::MessageHandler ui_handler_;
  std::function<void()> changed_;

  // The button press that Configure waits to make.
  struct DialogPress {
    DialogButton button = DialogButton::None;
    double open_at = 0;  // when config was called
    double due = 0;      // seconds after the dialog showed
    double shown_at = -1;
    double pressed_at = -1;
    bool stayed = false;
    UINT_PTR task = 0;
    HWND dialog = nullptr;
  } press_;

  // The answer Uninstall gives to the plug-in's question.
  struct QuestionAnswer {
    int button = 0;
    double since = 0;
    double asked_at = -1;
    UINT_PTR task = 0;
  } question_;
};

}  // namespace workbench
