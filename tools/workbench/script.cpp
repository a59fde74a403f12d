#include "tools/workbench/script.h"

#include <windows.h>
#include <wtsapi32.h>

#include <cwctype>

#include "tools/standin/standin_host.h"

namespace workbench {

namespace {

namespace proto = standin::proto;

constexpr double MaxSeconds = 600;

struct Token {
  std::wstring text;  // lower case
  size_t begin;
  size_t end;
};

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

std::wstring Trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// A '#' starts a comment at the start of a line or after white space, so that values
// such as "a#b" keep their sign.
std::wstring WithoutComment(const std::wstring& line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == L'#' && (i == 0 || IsSpace(line[i - 1]))) return line.substr(0, i);
  }
  return line;
}

std::vector<Token> Tokenize(const std::wstring& s) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    if (i == s.size()) break;
    size_t b = i;
    while (i < s.size() && !IsSpace(s[i])) ++i;
    tokens.push_back({Lower(s.substr(b, i - b)), b, i});
  }
  return tokens;
}

// Whole seconds or a decimal fraction, 0 to MaxSeconds.
bool ParseSeconds(const std::wstring& s, double* out) {
  double value = 0;
  size_t i = 0;
  bool digits = false;
  while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') {
    value = value * 10 + (s[i++] - L'0');
    digits = true;
    if (value > MaxSeconds) return false;
  }
  if (i < s.size() && s[i] == L'.') {
    ++i;
    if (i == s.size()) return false;  // "2." is a slip of the finger, not a number
    double scale = 0.1;
    while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') {
      value += (s[i++] - L'0') * scale;
      scale /= 10;
    }
  }
  if (!digits || i != s.size() || value > MaxSeconds) return false;
  *out = value;
  return true;
}

bool ParseInt(const std::wstring& s, long long low, long long high, int* out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) negative = s[i++] == L'-';
  if (i == s.size()) return false;
  long long value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < L'0' || s[i] > L'9') return false;
    value = value * 10 + (s[i] - L'0');
    if (value > 1000000000LL) return false;  // far beyond every range used here
  }
  if (negative) value = -value;
  if (value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseCommand(const std::wstring& token, unsigned* out) {
  static const unsigned known[] = {proto::Play,          proto::Pause,        proto::Stop,
                                   proto::NextTrack,     proto::StopWithFade, proto::StopAfterCurrent,
                                   standin::CloseCommand};
  for (unsigned id : known) {
    if (token == standin::CommandName(id)) {
      *out = id;
      return true;
    }
  }
  int number = 0;
  if (!ParseInt(token, 1, 0xFFFF, &number)) return false;
  *out = static_cast<unsigned>(number);
  return true;
}

// The rest of the line from token `first` on, as written; `""` stands for an empty value.
std::wstring RestOf(const std::wstring& text, const std::vector<Token>& tokens, size_t first, size_t end) {
  if (first >= end) return std::wstring();
  std::wstring rest = text.substr(tokens[first].begin, tokens[end - 1].end - tokens[first].begin);
  return rest == L"\"\"" ? std::wstring() : rest;
}

class LineParser {
 public:
  LineParser(int number, const std::wstring& text) : text_(text), tokens_(Tokenize(text)) {
    line_.number = number;
    line_.text = text;
  }

  // Fills the line, or returns the mistake.
  std::wstring Parse() {
    const std::wstring& word = tokens_[0].text;
    if (word == L"load") return Bare(Op::Load);
    if (word == L"play") return Bare(Op::Play);
    if (word == L"pause") return Bare(Op::Pause);
    if (word == L"stop") return Bare(Op::Stop);
    if (word == L"stream") return OnOff(Op::Stream);
    if (word == L"playlist") {
      line_.op = Op::Playlist;
      if (tokens_.size() == 2 && tokens_[1].text == L"empty") return L"";
      if (tokens_.size() != 2 || !ParseInt(tokens_[1].text, 1, 100000, &line_.number_arg))
        return L"the playlist instruction is \"playlist empty\" or \"playlist TRACKS\"";
      return L"";
    }
    if (word == L"screensaver") return OnOff(Op::ScreenSaver);
    if (word == L"track") {
      if (tokens_.size() != 2 || tokens_[1].text != L"end") return L"the track instruction is \"track end\"";
      line_.op = Op::TrackEnd;
      return L"";
    }
    if (word == L"lock") return SessionCode(WTS_SESSION_LOCK);
    if (word == L"unlock") return SessionCode(WTS_SESSION_UNLOCK);
    if (word == L"connect") return SessionCode(WTS_CONSOLE_CONNECT);
    if (word == L"disconnect") return SessionCode(WTS_CONSOLE_DISCONNECT);
    if (word == L"session") {
      if (tokens_.size() != 2 || !ParseInt(tokens_[1].text, 0, 0xFFFF, &line_.number_arg))
        return L"session takes a session-change code, such as 5";
      line_.op = Op::Session;
      return L"";
    }
    if (word == L"registry") return Registry();
    if (word == L"ini") {
      if (tokens_.size() < 3) return L"ini takes a key and a value (\"\" for an empty one)";
      line_.op = Op::Ini;
      line_.key = Original(1);
      line_.value = RestOf(text_, tokens_, 2, tokens_.size());
      return L"";
    }
    if (word == L"wait") {
      if (tokens_.size() != 2 || !ParseSeconds(tokens_[1].text, &line_.seconds))
        return L"wait takes seconds from 0 to 600, such as 2.5";
      line_.op = Op::Wait;
      return L"";
    }
    if (word == L"config") return Config();
    if (word == L"expect") return Expect();
    if (word == L"echo") {
      line_.op = Op::Echo;
      line_.value = RestOf(text_, tokens_, 1, tokens_.size());
      return L"";
    }
    if (word == L"old") {
      if (tokens_.size() != 2 || tokens_[1].text != L"host") return L"the instruction is \"old host\"";
      line_.op = Op::OldHost;
      return L"";
    }
    if (word == L"uninstall") {
      line_.op = Op::Uninstall;
      if (tokens_.size() == 2 && (tokens_[1].text == L"yes" || tokens_[1].text == L"no")) {
        line_.flag = tokens_[1].text == L"yes";
        return L"";
      }
      return L"uninstall takes yes or no: the answer to the plug-in's question about its settings";
    }
    if (word == L"exit") {
      line_.op = Op::Exit;
      if (tokens_.size() == 1) return L"";
      const std::wstring& mode = tokens_[1].text;
      if (tokens_.size() == 2 && mode == L"normal") {
        line_.exit_mode = ExitMode::Normal;
      } else if (tokens_.size() == 2 && mode == L"logoff") {
        line_.exit_mode = ExitMode::Logoff;
      } else if (tokens_.size() == 2 && mode == L"uninstall") {
        line_.exit_mode = ExitMode::Uninstall;
      } else {
        return L"exit takes normal, logoff or uninstall";
      }
      return L"";
    }
    return L"unknown instruction \"" + Original(0) + L"\" (corvane-host --help lists the language)";
  }

  const ScriptLine& Line() const { return line_; }

 private:
  std::wstring Original(size_t i) const { return text_.substr(tokens_[i].begin, tokens_[i].end - tokens_[i].begin); }

  std::wstring Bare(Op op) {
    line_.op = op;
    if (tokens_.size() != 1) return tokens_[0].text + L" takes nothing after it";
    return L"";
  }

  std::wstring OnOff(Op op) {
    line_.op = op;
    if (tokens_.size() == 2 && (tokens_[1].text == L"on" || tokens_[1].text == L"off")) {
      line_.flag = tokens_[1].text == L"on";
      return L"";
    }
    return tokens_[0].text + L" takes on or off";
  }

  std::wstring SessionCode(int code) {
    line_.number_arg = code;
    return Bare(Op::Session);
  }

  std::wstring Registry() {
    line_.op = Op::Registry;
    if (tokens_.size() < 3) return L"registry takes secure, noautoreturn or grace, then a value or none";
    const std::wstring& name = tokens_[1].text;
    if (name == L"secure") {
      line_.registry = RegistryValue::Secure;
    } else if (name == L"noautoreturn") {
      line_.registry = RegistryValue::NoAutoReturn;
    } else if (name == L"grace") {
      line_.registry = RegistryValue::GracePeriod;
    } else {
      return L"registry takes secure, noautoreturn or grace, not \"" + Original(1) + L"\"";
    }
    line_.flag = tokens_.size() == 3 && tokens_[2].text == L"none";  // remove the value
    if (!line_.flag) line_.value = RestOf(text_, tokens_, 2, tokens_.size());
    return L"";
  }

  std::wstring Config() {
    line_.op = Op::Config;
    size_t n = tokens_.size();
    if (n == 1) return L"";
    const std::wstring& button = tokens_[1].text;
    if (button == L"ok") {
      line_.button = DialogButton::Ok;
    } else if (button == L"cancel") {
      line_.button = DialogButton::Cancel;
    } else {
      return L"config takes nothing, ok or cancel, then optionally \"after SECONDS\"";
    }
    if (n == 2) return L"";
    if (n == 4 && tokens_[2].text == L"after" && ParseSeconds(tokens_[3].text, &line_.seconds)) return L"";
    return L"config " + button + L" takes \"after SECONDS\" (0 to 600) or nothing after it";
  }

  std::wstring Expect() {
    size_t n = tokens_.size();
    if (n >= 3 && tokens_[n - 2].text == L"within") {
      if (!ParseSeconds(tokens_[n - 1].text, &line_.seconds)) return L"within takes seconds from 0 to 600";
      n -= 2;
    }
    if (n < 2) return L"expect takes commands, nothing, state, track or ini";
    const std::wstring& what = tokens_[1].text;
    if (what == L"nothing") {
      line_.op = Op::ExpectCommands;
      if (line_.seconds >= 0) return L"expect nothing checks what has arrived; wait first, then expect nothing";
      if (n != 2) return L"expect nothing takes nothing after it";
      return L"";
    }
    if (what == L"state") {
      line_.op = Op::ExpectState;
      const std::wstring state = n == 3 ? tokens_[2].text : std::wstring();
      if (state == L"playing") {
        line_.number_arg = proto::Playing;
      } else if (state == L"paused") {
        line_.number_arg = proto::Paused;
      } else if (state == L"stopped") {
        line_.number_arg = proto::Stopped;
      } else {
        return L"expect state takes playing, paused or stopped";
      }
      return L"";
    }
    if (what == L"track") {
      line_.op = Op::ExpectTrack;
      if (n == 3 && ParseInt(tokens_[2].text, 1, 1000000, &line_.number_arg)) return L"";
      return L"expect track takes a track number from 1";
    }
    if (what == L"ini") {
      line_.op = Op::ExpectIni;
      if (n < 4) return L"expect ini takes a key and a value (\"\" for an empty or missing one)";
      line_.key = Original(2);
      line_.value = RestOf(text_, tokens_, 3, n);
      return L"";
    }
    line_.op = Op::ExpectCommands;
    for (size_t i = 1; i < n; ++i) {
      unsigned id = 0;
      if (!ParseCommand(tokens_[i].text, &id)) {
        return L"\"" + Original(i) +
               L"\" is no command: use a number or play, pause, stop, next, stop-with-fade, "
               L"stop-after-current, close";
      }
      line_.commands.push_back(id);
    }
    return L"";
  }

  const std::wstring& text_;
  std::vector<Token> tokens_;
  ScriptLine line_;
};

std::wstring LinePrefix(int number) { return L"line " + std::to_wstring(number) + L": "; }

// Checks that need the whole script: ini lines must come before the plug-in loads (it reads
// its settings once, at init), it loads once, and nothing follows an exit.
void CheckOrder(Script* script) {
  int loaded_at = 0;
  int exit_at = 0;
  int uninstalled_at = 0;
  for (const ScriptLine& line : script->lines) {
    if (exit_at) {
      script->errors.push_back(LinePrefix(line.number) + L"nothing may follow the exit at line " +
                               std::to_wstring(exit_at));
      break;
    }
    if (line.op == Op::Ini && loaded_at) {
      script->errors.push_back(LinePrefix(line.number) +
                               L"ini lines must come before the plug-in loads (it loads at line " +
                               std::to_wstring(loaded_at) + L"; the plug-in reads its settings only at init)");
    }
    if (line.op == Op::OldHost && loaded_at) {
      script->errors.push_back(LinePrefix(line.number) + L"old host must come before the plug-in loads (at line " +
                               std::to_wstring(loaded_at) + L"; the plug-in asks for the INI path only at init)");
    }
    if (line.op == Op::Load && uninstalled_at) {
      script->errors.push_back(LinePrefix(line.number) + L"the plug-in was uninstalled at line " +
                               std::to_wstring(uninstalled_at));
    }
    if (line.op == Op::Uninstall) {
      if (uninstalled_at) {
        script->errors.push_back(LinePrefix(line.number) + L"the plug-in was already uninstalled at line " +
                                 std::to_wstring(uninstalled_at));
      }
      uninstalled_at = line.number;
    }
    if (line.op == Op::Load && loaded_at) {
      script->errors.push_back(LinePrefix(line.number) + L"the plug-in is already loaded (at line " +
                               std::to_wstring(loaded_at) + L")");
    }
    if (NeedsPlugin(line.op) && !loaded_at) loaded_at = line.number;
    if (line.op == Op::Exit) exit_at = line.number;
  }
}

}  // namespace

bool NeedsPlugin(Op op) {
  switch (op) {
    case Op::Play:
    case Op::Pause:
    case Op::Stop:
    case Op::Stream:
    case Op::Playlist:
    case Op::TrackEnd:
    case Op::ScreenSaver:
    case Op::Registry:
    case Op::Ini:
    case Op::Echo:
    case Op::OldHost:
      return false;
    default:
      return true;
  }
}

Script ParseScript(const std::wstring& text) {
  Script script;
  size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring raw = text.substr(start, end - start);
    ++number;
    start = end + 1;
    if (!raw.empty() && raw.back() == L'\r') raw.pop_back();
    std::wstring line = Trim(WithoutComment(raw));
    if (line.empty()) continue;
    LineParser parser(number, line);
    std::wstring error = parser.Parse();
    if (!error.empty()) {
      script.errors.push_back(LinePrefix(number) + error);
    } else {
      script.lines.push_back(parser.Line());
    }
  }
  if (script.errors.empty()) CheckOrder(&script);
  return script;
}

std::wstring DecodeScript(const std::string& bytes) {
  size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (bytes.size() <= skip) return std::wstring();
  const char* data = bytes.data() + skip;
  int size = static_cast<int>(bytes.size() - skip);
  int n = MultiByteToWideChar(CP_UTF8, 0, data, size, nullptr, 0);
  std::wstring text(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, data, size, &text[0], n);
  return text;
}

std::wstring DescribeCommand(unsigned command) {
  if (command == standin::CloseCommand) return L"close (WM_CLOSE)";
  std::wstring name = standin::CommandName(command);
  std::wstring number = std::to_wstring(command);
  return name.empty() ? number : name + L" (" + number + L")";
}

std::wstring DescribeCommands(const std::vector<unsigned>& commands) {
  if (commands.empty()) return L"nothing";
  std::wstring text;
  for (unsigned c : commands) {
    if (!text.empty()) text += L", ";
    text += DescribeCommand(c);
  }
  return text;
}

const wchar_t* LanguageHelp() {
  return LR"(Script language: one instruction a line; '#' starts a comment; case does not matter.

 The player (what its user does; these are not commands of the plug-in)
  play | pause | stop          set the simulated playing state
  stream on | off              the current item is a stream (query 105 answers -1), or a track
  playlist empty | TRACKS      the playlist's length (query 124); play on a stopped player with
                               an empty playlist opens the player's file dialog
  track end                    the playing track ends: the next one plays, or the player stops
                               when stop-after-current is armed
  old host                     the player is older than 5.58: it answers 1 to the queries it
                               does not know, 1334 (its wide INI path) and 658 (whether
                               stop-after-current is armed); only before the plug-in loads
  uninstall yes | no           the user removes the plug-in in the player's preferences and
                               confirms: winampUninstallPlugin, then, when it returns 1, quit,
                               FreeLibrary and the file deleted (the workbench keeps your
                               file). yes or no answers the plug-in's question whether its
                               settings go too. The player runs on without the plug-in.
 Windows
  lock | unlock                WM_WTSSESSION_CHANGE 7 / 8 sent to the host window
  connect | disconnect         WM_WTSSESSION_CHANGE 1 / 2: the console comes back to this
                               session / goes to another user
  session CODE                 any other session-change code (5 logon, 6 logoff, ...)
  screensaver on | off         SystemParametersInfo(SPI_SETSCREENSAVERRUNNING)
  registry secure VALUE        HKCU Control Panel\Desktop  ScreenSaverIsSecure
  registry noautoreturn VALUE  HKCU Control Panel\Desktop  NoAutoReturnToWelcome
  registry grace VALUE         HKLM ...\Winlogon  ScreenSaverGracePeriod (seconds)
                               VALUE is written as text; "none" removes the value. Every value
                               is put back as it was when the run ends.
 The plug-in
  ini KEY VALUE                sets KEY in section gen_corvane of the INI file; only before the
                               plug-in loads ("" for an empty value)
  load                         loads the DLL and calls init; without it the plug-in loads
                               before the first line that needs it
  config                       calls config and waits until the dialog is closed by hand
  config ok | cancel [after S] calls config and presses OK or Cancel once the dialog shows
                               (S seconds later); fails when no dialog appears or it stays
  exit normal                  the player's exit: window destroyed, then quit (also what
                               happens at the end of every script)
  exit logoff                  quit while the window still exists, then the window goes
  exit uninstall               quit, then the DLL is freed; fails if the host window would
                               still call into the freed DLL
 Time and checks
  wait S                       pumps messages for S seconds (such as 2.5); timers fire
  expect CMD ...               the commands received since the last expect are exactly these,
                               in this order; CMD is a number (40046) or one of play, pause,
                               stop, next, stop-with-fade, stop-after-current, close
  expect nothing               no command since the last expect
  expect state playing | paused | stopped
  expect track N
  expect ini KEY VALUE         the INI file holds this value ("" for empty or missing)
  ... within S                 after any expect but nothing: waits up to S seconds for it
  echo TEXT                    prints TEXT in the log

A failed expect stops the script: the run ends as the player exits and corvane-host exits
with 1. Mistakes in the script are reported before anything runs (exit code 2).)";
}

const wchar_t* DemoScript() {
  return LR"(# The typical road, with the default settings: the plug-in follows the session.
registry secure 1           # the screen saver returns to the Welcome screen
registry noautoreturn none
registry grace 1            # Windows' grace period; the plug-in waits one second longer
load

echo A track plays; the user locks the workstation.
play
lock
expect pause
expect state paused

echo The user is back: the plug-in resumes after its default delay of 2 seconds.
unlock
wait 1
expect nothing
expect play within 3
expect state playing

echo The screen saver starts, but the user moves the mouse within the grace period.
screensaver on
wait 1.2
screensaver off
wait 2.5
expect nothing
expect state playing

echo The screen saver starts and runs on: after the grace period the plug-in pauses.
screensaver on
expect pause within 5
expect state paused

echo Windows locks the session behind the screen saver; the user comes back and unlocks.
screensaver off
lock
unlock
expect play within 4
expect state playing
)";
}

}  // namespace workbench
