#include "tools/workbench/options.h"

namespace workbench {

Options ParseOptions(const std::vector<std::wstring>& args) {
  Options o;
  bool mode_given = false;
  auto set_mode = [&](Options::Mode mode, const std::wstring& arg) {
    if (mode_given && o.mode != mode)
      o.error = L"choose one of --script, --demo, --print-demo and --help (" + arg + L")";
    o.mode = mode;
    mode_given = true;
  };
  for (size_t i = 0; i < args.size() && o.error.empty(); ++i) {
    const std::wstring& arg = args[i];
    bool has_value = i + 1 < args.size();
    if (arg == L"--plugin" || arg == L"--ini" || arg == L"--script") {
      if (!has_value) {
        o.error = arg + L" needs a path";
        break;
      }
      const std::wstring& value = args[++i];
      if (arg == L"--plugin") o.plugin = value;
      if (arg == L"--ini") o.ini = value;
      if (arg == L"--script") {
        set_mode(Options::Mode::Script, arg);
        o.script = value;
      }
    } else if (arg == L"--demo") {
      set_mode(Options::Mode::Demo, arg);
    } else if (arg == L"--print-demo") {
      set_mode(Options::Mode::PrintDemo, arg);
    } else if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      set_mode(Options::Mode::Help, arg);
    } else if (arg == L"--window") {
      o.window = true;
    } else if (arg == L"--old-host") {
      o.old_host = true;
    } else {
      o.error = L"unknown argument \"" + arg + L"\"";
    }
  }
  if (o.error.empty() && o.window && o.mode != Options::Mode::Script && o.mode != Options::Mode::Demo &&
      o.mode != Options::Mode::Interactive) {
    o.error = L"--window goes with --script or --demo";
  }
  return o;
}

const wchar_t* UsageText() {
  return LR"(corvane-host: loads gen_corvane.dll as the player does and stands in for the player.

  corvane-host [--plugin DLL] [--ini FILE] [--old-host]
      The workbench window: a simulated player, buttons for the session events and the
      screen saver, Configure... for the plug-in's dialog, and a log of everything the host
      receives. The INI file defaults to winamp.ini beside corvane-host.exe.
  corvane-host [--plugin DLL] [--ini FILE] [--old-host] [--window] --script FILE
      Runs a script (FILE "-" reads standard input) and prints a timestamped log. Exit code
      0 when every expect held, 1 when one failed, 2 when the script has a mistake or the
      plug-in does not load. The INI file is a fresh temporary one unless --ini is given.
  corvane-host [--plugin DLL] [--ini FILE] [--old-host] [--window] --demo
      Runs the built-in demo: lock pauses, unlock resumes after 2 s, a secure screen saver
      pauses after its grace period.
  corvane-host --print-demo
      Prints the demo's script, a starting point for your own.

  --plugin DLL   the plug-in to load (default: gen_corvane.dll beside corvane-host.exe)
  --window       run the script or the demo in the workbench window, which stays open
                 afterwards unless the script ends with exit
  --old-host     play a player older than 5.58, which answers 1 to query 1334 (its wide
                 INI path), so that the plug-in takes the ANSI copy from query 334, and
                 to query 658 (whether stop-after-current is armed)
)";
}

}  // namespace workbench
