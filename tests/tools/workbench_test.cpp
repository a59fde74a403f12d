// corvane-host run as a program, with scripts, against a small fake plug-in whose
// behaviour the tests choose, and against the shipped DLL. The exit code and the log are
// what a user of the workbench relies on.
#include <string>

#include "tests/common/test_support.h"

using testing_support::ReadFileBytes;
using testing_support::ScopedRegistryValue;
using testing_support::TempFolder;
using testing_support::ToAnsi;
using testing_support::WriteFileBytes;

namespace {

struct HostRun {
  DWORD exit_code = 0xFFFFFFFF;
  std::string output;
};

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

std::wstring FakePlugin() { return standin::ProgramFolder() + L"fake_plugin.dll"; }

// corvane-host as a child process; its output goes to a file, which cannot fill up and
// block it the way a pipe nobody reads can.
class HostProcess {
 public:
  explicit HostProcess(const std::wstring& arguments)
      : out_path_(folder_.File(L"out.txt")),
        runs_script_(arguments.find(L"--script") != std::wstring::npos ||
                     arguments.find(L"--demo") != std::wstring::npos) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(out_path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    std::wstring command = Quoted(standin::ProgramFolder() + L"corvane-host.exe") + L" " + arguments;
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &process_)) {
      CloseHandle(process_.hThread);
    }
    CloseHandle(out);
  }
  ~HostProcess() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hProcess);
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  std::string Output() const { return ReadFileBytes(out_path_); }
  DWORD Id() const { return process_.dwProcessId; }
  // Waits for the log to show text.
  bool AwaitOutput(const std::string& text, DWORD timeout_ms) const {
    for (DWORD waited = 0; waited < timeout_ms; waited += 20) {
      if (Output().find(text) != std::string::npos) return true;
      Sleep(20);
    }
    return false;
  }
  HostRun Finish(DWORD timeout_ms = 60000) {
    HostRun run;
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
      GetExitCodeProcess(process_.hProcess, &run.exit_code);
    }
    run.output = Output();
    // A process that dies silently (a stack overflow in a window procedure does, under
    // Wine) or exits early ends with 0 too: a script run has passed only with its last line.
    if (runs_script_ && run.exit_code == 0 && run.output.find("\npassed: ") == std::string::npos &&
        run.output.rfind("passed: ", 0) != 0) {
      run.exit_code = EndedWithoutItsLastLine;
      run.output += "\n(corvane-host ended with 0 but without its closing \"passed:\" line)";
    }
    return run;
  }
  static constexpr DWORD EndedWithoutItsLastLine = 0xE0D0E0D0;

 private:
  TempFolder folder_;
  std::wstring out_path_;
  bool runs_script_;
  PROCESS_INFORMATION process_ = {};
};

HostRun RunHost(const std::wstring& arguments) { return HostProcess(arguments).Finish(); }

HostRun RunScript(const std::string& script, const std::wstring& plugin = FakePlugin(),
                  const std::wstring& more_arguments = L"") {
  TempFolder folder;
  std::wstring path = folder.File(L"script.txt");
  WriteFileBytes(path, script);
  return RunHost(L"--plugin " + Quoted(plugin) + L" --script " + Quoted(path) + more_arguments);
}

bool Has(const HostRun& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

// The index of the first line with text, to check the order of events in the log.
size_t Where(const HostRun& run, const std::string& text) { return run.output.find(text); }

std::string ReadRegistryText(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t data[64] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "(none)";
  return ToAnsi(data);
}

constexpr wchar_t Winlogon[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr wchar_t Desktop[] = L"Control Panel\\Desktop";

}  // namespace

TEST(Workbench, ScriptDrivesThePluginAndLogsWhatTheHostSaw) {
  HostRun run = RunScript(
      "# lock pauses, unlock resumes through the fake's timer\n"
      "play\n"
      "lock\n"
      "expect pause\n"
      "expect state paused\n"
      "unlock\n"
      "expect nothing\n"
      "expect play within 3\n"
      "expect state playing\n");
  EXPECT_EQ(0u, run.exit_code) << run.output;
  EXPECT_TRUE(Has(run, "command 40046 pause: playing -> paused")) << run.output;
  EXPECT_TRUE(Has(run, "WM_TIMER 26983 (the plug-in's delay timer) fires")) << run.output;
  EXPECT_TRUE(Has(run, "passed: 8 lines, 5 expectations met")) << run.output;
  // The player's normal exit: the window goes first, quit comes after.
  EXPECT_LT(Where(run, "its window is destroyed, then it calls quit"), Where(run, "quit returned"));
}

TEST(Workbench, FailedExpectStopsTheScriptAndNamesItsLine) {
  HostRun run = RunScript(
      "play\n"
      "lock\n"
      "\n"
      "expect stop     # the fake pauses\n"
      "unlock\n");
  EXPECT_EQ(1u, run.exit_code) << run.output;
  EXPECT_TRUE(Has(run, "FAILED at line 4: expected stop (40047), but received pause (40046)")) << run.output;
  EXPECT_FALSE(Has(run, "line 5: unlock")) << "nothing runs after a failed expect";
  EXPECT_TRUE(Has(run, "quit returned")) << "the run still ends as the player exits";

  HostRun waited = RunScript("expect play within 0.3\n");
  EXPECT_EQ(1u, waited.exit_code) << waited.output;
  EXPECT_TRUE(Has(waited, "expected play (40045), but no command arrived")) << waited.output;

  HostRun state = RunScript("play\nexpect state stopped\n");
  EXPECT_EQ(1u, state.exit_code);
  EXPECT_TRUE(Has(state, "FAILED at line 2: the player is playing, not stopped")) << state.output;
}

TEST(Workbench, MistakesAreReportedBeforeAnythingRuns) {
  HostRun run = RunScript(
      "play\n"
      "lokc\n"
      "wait soon\n"
      "lock\n");
  EXPECT_EQ(2u, run.exit_code) << run.output;
  EXPECT_TRUE(Has(run, "line 2: unknown instruction \"lokc\"")) << run.output;
  EXPECT_TRUE(Has(run, "line 3: wait takes seconds")) << run.output;
  EXPECT_FALSE(Has(run, "loading")) << "a script with mistakes must not touch the plug-in";

  HostRun missing = RunHost(L"--script no-such-script.txt");
  EXPECT_EQ(2u, missing.exit_code);
  EXPECT_TRUE(Has(missing, "cannot read the script")) << missing.output;

  HostRun no_plugin = RunScript("lock\n", L"no-such-plugin.dll");
  EXPECT_EQ(2u, no_plugin.exit_code);
  EXPECT_TRUE(Has(no_plugin, "cannot load the plug-in")) << no_plugin.output;
}

TEST(Workbench, ConfigPressesTheDialogsButtons) {
  HostRun run = RunScript(
      "config ok\n"
      "expect ini fake_config ok\n"
      "config cancel after 0.2\n"
      "expect ini fake_config cancel\n");
  EXPECT_EQ(0u, run.exit_code) << run.output;
  EXPECT_TRUE(Has(run, "the plug-in's dialog \"Fake options\" is open")) << run.output;
}

TEST(Workbench, ConfigFailsWithoutADialogOrWhenItStays) {
  TempFolder folder;
  std::wstring ini = folder.File(L"winamp.ini");
  WriteFileBytes(ini, "[fake]\r\ndialog=0\r\n");
  HostRun no_dialog = RunScript("config ok\n", FakePlugin(), L" --ini " + Quoted(ini));
  EXPECT_EQ(1u, no_dialog.exit_code) << no_dialog.output;
  EXPECT_TRUE(Has(no_dialog, "config showed no dialog")) << no_dialog.output;

  WriteFileBytes(ini, "[fake]\r\ndialog=2\r\n");
  HostRun stubborn = RunScript("config ok\n", FakePlugin(), L" --ini " + Quoted(ini));
  EXPECT_EQ(1u, stubborn.exit_code) << stubborn.output;
  EXPECT_TRUE(Has(stubborn, "the dialog did not close")) << stubborn.output;
}

TEST(Workbench, PluginClosingTheHostEndsThePlayerOnce) {
  HostRun run = RunScript(
      "disconnect\n"
      "expect close\n"
      "lock\n");
  EXPECT_EQ(1u, run.exit_code) << run.output;
  EXPECT_TRUE(Has(run, "WM_CLOSE: the player exits")) << run.output;
  EXPECT_TRUE(Has(run, "FAILED at line 3: the host has closed")) << run.output;
  EXPECT_LT(Where(run, "WM_CLOSE"), Where(run, "quit returned after"));
  EXPECT_EQ(Where(run, "quit returned"), run.output.rfind("quit returned")) << "quit is called once";
}

TEST(Workbench, ExitOrdersAndASubclassLeftBehind) {
  HostRun logoff = RunScript("lock\nexit logoff\n");
  EXPECT_EQ(0u, logoff.exit_code) << logoff.output;
  EXPECT_TRUE(Has(logoff, "quit returned after")) << logoff.output;
  EXPECT_TRUE(Has(logoff, "(the window still exists)")) << logoff.output;

  HostRun uninstall = RunScript("lock\nexit uninstall\n");
  EXPECT_EQ(0u, uninstall.exit_code) << uninstall.output;
  EXPECT_TRUE(Has(uninstall, "the host still answers after the DLL is gone")) << uninstall.output;

  TempFolder folder;
  std::wstring ini = folder.File(L"winamp.ini");
  WriteFileBytes(ini, "[fake]\r\nkeep_subclass=1\r\n");
  HostRun careless = RunScript("lock\nexit uninstall\n", FakePlugin(), L" --ini " + Quoted(ini));
  EXPECT_EQ(1u, careless.exit_code) << careless.output;
  EXPECT_TRUE(Has(careless, "the host window's procedure still lies in the DLL")) << careless.output;

  HostRun early = RunScript("exit\nlock\n");
  EXPECT_EQ(2u, early.exit_code);
  EXPECT_TRUE(Has(early, "line 2: nothing may follow the exit at line 1")) << early.output;
}

TEST(Workbench, RegistryScreenSaverAndIniArePutBackAfterTheRun) {
  ScopedRegistryValue grace(HKEY_LOCAL_MACHINE, Winlogon, L"ScreenSaverGracePeriod");
  ScopedRegistryValue secure(HKEY_CURRENT_USER, Desktop, L"ScreenSaverIsSecure");
  ASSERT_TRUE(grace.SetString(L"7"));
  ASSERT_TRUE(secure.Remove());

  HostRun run = RunScript(
      "registry grace 1\n"
      "registry secure 1\n"
      "registry secure 0      # the first state is what comes back\n"
      "screensaver on\n"
      "load\n");
  EXPECT_EQ(0u, run.exit_code) << run.output;
  EXPECT_EQ("7", ReadRegistryText(HKEY_LOCAL_MACHINE, Winlogon, L"ScreenSaverGracePeriod"));
  EXPECT_EQ("(none)", ReadRegistryText(HKEY_CURRENT_USER, Desktop, L"ScreenSaverIsSecure"));

  // The temporary INI file goes, with its folder.
  size_t at = run.output.find("INI file ");
  ASSERT_NE(std::string::npos, at);
  size_t end = run.output.find(" (fresh)", at);
  ASSERT_NE(std::string::npos, end);
  std::string path = run.output.substr(at + 9, end - at - 9);
  EXPECT_FALSE(testing_support::FileExists(testing_support::ToWide(path))) << path;
}

TEST(Workbench, GivenIniFileIsUsedAndKept) {
  TempFolder folder;
  std::wstring ini = folder.File(L"winamp.ini");
  HostRun run = RunScript("ini lock_delay 5\nload\n", FakePlugin(), L" --ini " + Quoted(ini));
  EXPECT_EQ(0u, run.exit_code) << run.output;
  std::string text = ReadFileBytes(ini);
  EXPECT_NE(std::string::npos, text.find("[Winamp]")) << "a new file starts with the host's own section\n" << text;
  EXPECT_NE(std::string::npos, text.find("lock_delay=5")) << text;
}

TEST(Workbench, HelpDocumentsTheLanguageAndTheDemoIsPrintable) {
  HostRun help = RunHost(L"--help");
  EXPECT_EQ(0u, help.exit_code);
  for (const char* word : {"--script", "--demo", "expect nothing", "within S", "registry grace", "exit uninstall"}) {
    EXPECT_TRUE(Has(help, word)) << word;
  }
  HostRun demo = RunHost(L"--print-demo");
  EXPECT_EQ(0u, demo.exit_code);
  EXPECT_TRUE(Has(demo, "screensaver on"));

  HostRun wrong = RunHost(L"--scritp x");
  EXPECT_EQ(2u, wrong.exit_code);
  EXPECT_TRUE(Has(wrong, "unknown argument \"--scritp\"")) << wrong.output;
}

TEST(Workbench, WindowRunsAScriptAndItsControlsStayOutOfTheRecord) {
  HostRun run = RunScript("play\nlock\nexpect pause\nexit\n", FakePlugin(), L" --window");
  EXPECT_EQ(0u, run.exit_code) << run.output;
  // The log view's own notifications must not reach the host as commands of the plug-in.
  EXPECT_FALSE(Has(run, "unknown to the player")) << run.output;
  EXPECT_TRUE(Has(run, "passed: 4 lines, 1 expectation met")) << run.output;
}

// The child's host window: the one of class "Winamp v1.x" that its process owns.
HWND FindHostWindow(DWORD process) {
  for (int i = 0; i < 500; ++i) {
    for (HWND w = FindWindowW(L"Winamp v1.x", nullptr); w; w = FindWindowExW(nullptr, w, L"Winamp v1.x", nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == process) return w;
    }
    Sleep(20);
  }
  return nullptr;
}

void Click(HWND host, const wchar_t* caption) {
  HWND button = FindWindowExW(host, nullptr, L"Button", caption);
  ASSERT_NE(nullptr, button) << testing::PrintToString(caption);
  PostMessageW(host, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

TEST(Workbench, InteractiveButtonsDriveThePluginAndClosingIsTheNormalExit) {
  TempFolder folder;
  HostProcess child(L"--plugin " + Quoted(FakePlugin()) + L" --ini " + Quoted(folder.File(L"winamp.ini")));
  HWND host = FindHostWindow(child.Id());
  ASSERT_NE(nullptr, host) << child.Output();
  ASSERT_TRUE(child.AwaitOutput("init returned 0", 10000)) << child.Output();

  Click(host, L"Play");
  Click(host, L"Lock");
  EXPECT_TRUE(child.AwaitOutput("command 40046 pause: playing -> paused", 10000)) << child.Output();
  Click(host, L"Unlock");
  EXPECT_TRUE(child.AwaitOutput("command 40045 play: paused -> playing", 10000)) << child.Output();
  PostMessageW(host, WM_SYSCOMMAND, SC_CLOSE, 0);

  HostRun run = child.Finish(20000);
  EXPECT_EQ(0u, run.exit_code) << run.output;
  EXPECT_FALSE(Has(run, "unknown to the player")) << "buttons are no commands of the plug-in\n" << run.output;
  EXPECT_LT(Where(run, "the user closes the player"), Where(run, "quit returned")) << run.output;
}

// The shipped DLL in the workbench: the road of a locked and unlocked session, and the
// settings given through the INI file.
TEST(WorkbenchWithPlugin, LockPausesAndUnlockResumesAfterTwoSeconds) {
  HostRun run = RunScript(
      "play\n"
      "lock\n"
      "expect pause\n"
      "unlock\n"
      "wait 1.5\n"
      "expect nothing\n"
      "expect play within 3\n"
      "expect state playing\n",
      testing_support::PluginDllPath());
  EXPECT_EQ(0u, run.exit_code) << run.output;
}

TEST(WorkbenchWithPlugin, IniLinesChooseTheRules) {
  HostRun run = RunScript(
      "ini unlock_delay 0\n"
      "play\n"
      "stream on\n"
      "lock\n"
      "expect stop       # a stream is stopped, not paused\n"
      "unlock\n"
      "expect play       # at once\n"
      "stream off\n"
      "lock\n"
      "expect pause\n",
      testing_support::PluginDllPath());
  EXPECT_EQ(0u, run.exit_code) << run.output;
}

TEST(WorkbenchWithPlugin, ConfigCancelWritesNothingAndOkSavesTheRules) {
  TempFolder folder;
  std::wstring ini = folder.File(L"winamp.ini");
  HostRun run = RunScript(
      "ini unlock_delay 7\n"
      "config cancel\n"
      "expect ini lock_action \"\"\n"
      "config ok\n"
      "expect ini lock_action 1\n"
      "expect ini unlock_delay 7\n"
      "expect ini lock_on_screensaver 1\n",
      testing_support::PluginDllPath(), L" --ini " + Quoted(ini));
  EXPECT_EQ(0u, run.exit_code) << run.output;
  EXPECT_NE(std::string::npos, ReadFileBytes(ini).find("[Winamp]")) << "the host's own section stays";
}

// The player's road of removing the plug-in, played by a script line; the player runs on and
// the user's DLL stays. An older player gives only the ANSI path.
TEST(WorkbenchWithPlugin, UninstallLinePlaysThePlayersRoadAndOldHostGivesTheAnsiPath) {
  const std::wstring plugin = testing_support::PluginDllPath();
  HostRun run =
      RunScript("ini lock_delay 3\nuninstall yes\nlock\nexpect nothing\nexpect ini lock_delay \"\"\n", plugin);
  EXPECT_EQ(0u, run.exit_code) << run.output;
  EXPECT_TRUE(Has(run, "the plug-in asks: \"Sollen die Einstellungen von Quillary")) << run.output;
  EXPECT_TRUE(Has(run, "the player runs on without the plug-in")) << run.output;
  EXPECT_TRUE(testing_support::FileExists(plugin));

  HostRun old = RunScript("lock\n", plugin, L" --old-host");
  EXPECT_EQ(0u, old.exit_code) << old.output;
  EXPECT_TRUE(Has(old, "query 1334 (INI path, wide) -> 1: an older player does not know it")) << old.output;
}

TEST(WorkbenchWithPlugin, DemoPlaysTheTypicalRoad) {
  ScopedRegistryValue grace(HKEY_LOCAL_MACHINE, Winlogon, L"ScreenSaverGracePeriod");
  ASSERT_TRUE(grace.SetString(L"30"));
  HostRun run = RunHost(L"--demo");
  EXPECT_EQ(0u, run.exit_code) << run.output;
  EXPECT_TRUE(Has(run, "WM_TIMER 51104 (the plug-in's grace timer) fires")) << run.output;
  EXPECT_EQ("30", ReadRegistryText(HKEY_LOCAL_MACHINE, Winlogon, L"ScreenSaverGracePeriod"))
      << "the demo's short grace period is the demo's alone";
}
