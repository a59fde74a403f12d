// The workbench's script language: one instruction a line, run against the plug-in in the
// stand-in host. Parsing is separate from running so that a script with a mistake is
// refused before anything happens.
//
// Classes in this file:
//   ScriptLine  - one parsed instruction.
//   Script      - the instructions of a file and the mistakes found in it.
#pragma once

#include <string>
#include <vector>

namespace workbench {

enum class Op {
  Load,  // load the DLL and call init
  Play,  // the user's own actions in the player (not commands of the plug-in)
  Pause,
  Stop,
  Stream,          // flag: the current item is a stream
  Playlist,        // number: how many tracks the playlist holds
  TrackEnd,        // the playing track ends
  Session,         // number: a WM_WTSSESSION_CHANGE code
  ScreenSaver,     // flag: running
  Registry,        // registry, value (remove: flag)
  Ini,             // key, value
  Wait,            // seconds
  Config,          // button, seconds (after)
  ExpectCommands,  // commands (none: "expect nothing"), seconds (within)
  ExpectState,     // number: a playing state
  ExpectTrack,     // number
  ExpectIni,       // key, value
  Echo,            // value
  Exit,            // exit_mode
  OldHost,         // the player does not know query 1334
  Uninstall,       // flag: the answer to the plug-in's question
};

enum class RegistryValue { Secure, NoAutoReturn, GracePeriod };
enum class DialogButton { None, Ok, Cancel };
// How the run ends, in the three orders the player uses: normal exit (window destroyed,
// then quit), log-off (quit while the window exists), uninstall (quit, then FreeLibrary).
enum class ExitMode { Normal, Logoff, Uninstall };

struct ScriptLine {
  int number = 0;     // 1-based line of the file
  std::wstring text;  // as written, without its comment and outer white space
  Op op = Op::Echo;
  int number_arg = 0;
  bool flag = false;
  double seconds = -1;  // wait, "after" and "within"; negative when not given
  std::vector<unsigned> commands;
  std::wstring key;
  std::wstring value;
  RegistryValue registry = RegistryValue::Secure;
  DialogButton button = DialogButton::None;
  ExitMode exit_mode = ExitMode::Normal;
};

struct Script {
  std::vector<ScriptLine> lines;
  std::vector<std::wstring> errors;  // "line 3: ..." each
  bool Ok() const { return errors.empty(); }
};

Script ParseScript(const std::wstring& text);

// Whether a line needs the plug-in loaded first. Lines that only set the scene (the
// player's state, the registry, the screen saver, the INI file) run before it loads.
bool NeedsPlugin(Op op);

// Script files are UTF-8, with or without a byte order mark.
std::wstring DecodeScript(const std::string& bytes);

// "pause (40046)", "close (WM_CLOSE)" or just the number.
std::wstring DescribeCommand(unsigned command);
std::wstring DescribeCommands(const std::vector<unsigned>& commands);

// What --help prints about the language.
const wchar_t* LanguageHelp();
// The built-in demo: the typical road with the default settings.
const wchar_t* DemoScript();

}  // namespace workbench
