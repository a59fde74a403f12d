// corvane-host: loads gen_corvane.dll as the player does and stands in for the player,
// interactively in its window or running a script.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/standin/plugin_loader.h"
#include "tools/workbench/event_log.h"
#include "tools/workbench/options.h"
#include "tools/workbench/script.h"
#include "tools/workbench/script_runner.h"
#include "tools/workbench/workbench.h"
#include "tools/workbench/workbench_window.h"

namespace {

using namespace workbench;

bool ReadAll(HANDLE file, std::string* bytes) {
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes->append(buffer, read);
  return true;
}

bool ReadScript(const std::wstring& path, std::wstring* text) {
  std::string bytes;
  if (path == L"-") {
    ReadAll(GetStdHandle(STD_INPUT_HANDLE), &bytes);
  } else {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    ReadAll(f, &bytes);
    CloseHandle(f);
  }
  *text = DecodeScript(bytes);
  return true;
}

void RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int RunInteractive(const Options& options, const std::wstring& plugin) {
  EventLog log;
  log.AddSink(WriteToStdout);
  WorkbenchWindow window;  // before the bench: the bench's last words go to it
  log.AddSink([&](const std::wstring& line) { window.Append(line); });
  Workbench bench(log);
  // The player keeps its INI file in its own folder unless told otherwise.
  std::wstring ini = options.ini.empty() ? standin::ProgramFolder() + L"winamp.ini" : options.ini;
  if (!bench.Open(plugin, ini, true) || !window.Create(bench)) return RunNotStarted;
  if (options.old_host) bench.SetOldHost(true);
  if (!bench.LoadPlugin()) log.Write(L"the plug-in did not load; the window stays for a look at the log");
  window.Refresh();
  RunMessageLoop();
  bench.QuitAfterClose();
  bench.Exit(ExitMode::Normal);
  return 0;
}

int RunScript(const Options& options, const std::wstring& plugin, const Script& script) {
  EventLog log;
  log.AddSink(WriteToStdout);
  if (!script.Ok()) {
    for (const std::wstring& error : script.errors) log.WritePlain(error);
    log.WritePlain(L"NOT RUN: the script has " + std::to_wstring(script.errors.size()) + L" mistake(s)");
    return RunNotStarted;
  }
  WorkbenchWindow window;  // before the bench: the bench's last words go to it
  if (options.window) log.AddSink([&](const std::wstring& line) { window.Append(line); });
  Workbench bench(log);
  if (!options.window) {
    if (!bench.Open(plugin, options.ini, false)) return RunNotStarted;
    if (options.old_host) bench.SetOldHost(true);
    return ScriptRunner(bench).Run(script);
  }
  if (!bench.Open(plugin, options.ini, true) || !window.Create(bench)) return RunNotStarted;
  if (options.old_host) bench.SetOldHost(true);
  window.SetBusy(true);
  int result = ScriptRunner(bench).Run(script, false);
  window.SetBusy(false);
  if (!bench.Exited()) {
    log.WritePlain(L"the window stays open; close it to end the run");
    RunMessageLoop();
    bench.QuitAfterClose();
    bench.Exit(ExitMode::Normal);
  }
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // "\n" alone ends a line, as a Unix terminal under Wine expects; UTF-8 for the paths.
  _setmode(_fileno(stdout), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);

  std::vector<std::wstring> args(argv + 1, argv + argc);
  Options options = ParseOptions(args);
  if (!options.error.empty()) {
    WriteToStdout(L"corvane-host: " + options.error + L"; corvane-host --help tells more");
    return RunNotStarted;
  }
  std::wstring plugin = options.plugin.empty() ? standin::ProgramFolder() + L"gen_corvane.dll" : options.plugin;

  switch (options.mode) {
    case Options::Mode::Help:
      WriteToStdout(UsageText());
      WriteToStdout(LanguageHelp());
      return 0;
    case Options::Mode::PrintDemo:
      WriteToStdout(DemoScript());
      return 0;
    case Options::Mode::Demo:
      return RunScript(options, plugin, ParseScript(DemoScript()));
    case Options::Mode::Script: {
      std::wstring text;
      if (!ReadScript(options.script, &text)) {
        WriteToStdout(L"corvane-host: cannot read the script " + options.script + L" (error " +
                      std::to_wstring(GetLastError()) + L")");
        return RunNotStarted;
      }
      return RunScript(options, plugin, ParseScript(text));
    }
    case Options::Mode::Interactive:
    default:
      return RunInteractive(options, plugin);
  }
}
