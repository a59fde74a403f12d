// corvane-host's command line.
#pragma once

#include <string>
#include <vector>

namespace workbench {

struct Options {
  enum class Mode { Interactive, Script, Demo, PrintDemo, Help };
  Mode mode = Mode::Interactive;
  std::wstring plugin;    // empty: gen_corvane.dll beside the program
  std::wstring ini;       // empty: a fresh temporary file (scripts), winamp.ini beside the program (window)
  std::wstring script;    // "-" reads standard input
  bool window = false;    // a script or the demo runs in the workbench window
  bool old_host = false;  // the host answers 0 to query 1334, as players before 5.58 do
  std::wstring error;     // a mistake on the command line
};

// The arguments without the program's name.
Options ParseOptions(const std::vector<std::wstring>& args);

const wchar_t* UsageText();

}  // namespace workbench
