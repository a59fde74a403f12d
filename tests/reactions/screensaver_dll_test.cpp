// The screen saver watch through the shipped DLL, driven as the player drives it: init,
// session changes, config and quit, and a host that frees the DLL without quit.
#include "tests/common/test_support.h"

#include <commctrl.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/reactions/watch_test_support.h"
#include "ui/resource.h"

namespace proto = standin::proto;
using standin::HostEvent;
using standin::PluginLoader;
using watch_testing::ScreenSaver;
using watch_testing::WatchRegistry;

namespace {

const wchar_t DialogTitle[] = L"\"Quillary\" - Einstellungen";

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (wcscmp(title, DialogTitle) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

bool DllMapped() { return GetModuleHandleW(L"gen_corvane.dll") != nullptr; }

// What the DLL asks of the registry: on 64-bit Windows the access decides which view a 32-bit
// process sees, which Wine's 32-bit prefix cannot show.
using RegOpenKeyExWFunction = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
RegOpenKeyExWFunction RealRegOpenKeyExW = nullptr;
std::vector<std::pair<std::wstring, REGSAM>> KeysOpened;
LSTATUS WINAPI RecordRegOpenKeyExW(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
  KeysOpened.emplace_back(path ? path : L"", access);
  return RealRegOpenKeyExW(root, path, options, access, key);
}

class WatchDllTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);  // the host has done this before any plug-in runs
    ini = folder.File(L"winamp.ini");
    host.SetIniPath(testing_support::ToAnsi(ini));
    // No grace period: each screen saver message the plug-in accepts pauses at once.
    registry.grace.SetString(L"0");
    host.SetPlayState(proto::Playing);
  }
  void Start(standin::StandInHost& on) {
    ASSERT_TRUE(plugin.Load(testing_support::PluginDllPath())) << plugin.Error();
    ASSERT_EQ(0, plugin.Init(on.Window()));
  }
  void Session(WPARAM code) { SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, code, 1); }

  size_t Pauses() const {
    size_t n = 0;
    for (unsigned command : host.Commands()) n += command == proto::Pause;
    return n;
  }
  // The watch polls: the running screen saver pauses the player within about a second.
  bool Reacts() {
    const size_t before = Pauses();
    return host.PumpUntil([&] { return Pauses() > before; }, 2500);
  }
  bool Quiet() {
    host.PumpPending();
    const size_t before = Pauses();
    host.PumpFor(1500);
    return Pauses() == before;
  }
  // Runs config and sets the screen saver option in the dialog, then OK.
  void ConfigWithScreenSaverOption(bool checked) {
    host.After(1, [checked] {
      HWND dialog = nullptr;
      EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
      ASSERT_NE(nullptr, dialog);
      CheckDlgButton(dialog, IDX_LOCK_ON_SCREENSAVER, checked ? BST_CHECKED : BST_UNCHECKED);
      SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    const UINT_PTR guard = host.After(10000, [] {
      ADD_FAILURE() << "the options dialog was left open";
      HWND dialog = nullptr;
      EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
      if (dialog) EndDialog(dialog, IDCANCEL);
    });
    plugin.Config();
    host.Cancel(guard);
  }

  testing_support::TempFolder folder;
  std::wstring ini;
  WatchRegistry registry;
  ScreenSaver saver;
  PluginLoader plugin;
};

}  // namespace

TEST_F(WatchDllTest, ScreenSaverPausesAfterTheGracePeriodAndUnlockResumes) {
  registry.grace.SetString(L"1");
  host.SetSimulation(true);
  ASSERT_TRUE(plugin.Load(testing_support::PluginDllPath())) << plugin.Error();
  RealRegOpenKeyExW = reinterpret_cast<RegOpenKeyExWFunction>(
      plugin.ReplaceImport("advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(RecordRegOpenKeyExW)));
  ASSERT_NE(nullptr, RealRegOpenKeyExW);
  ASSERT_EQ(0, plugin.Init(host.Window()));
  const double started = host.Now();
  ScreenSaver::Set(true);
  ASSERT_TRUE(host.WaitForCommands(1, 5000));
  const double paused = host.Events().back().seconds - started;
  std::printf("[ figure   ] paused %.2f s after the screen saver started\n", paused);
  EXPECT_GE(paused, 1.9) << "one poll at most, then the grace period of 1 + 1 s";
  EXPECT_EQ(std::vector<unsigned>{proto::Pause}, host.Commands());
  EXPECT_EQ(proto::Paused, host.PlayState());
  // Winlogon, a 64-bit process, reads the real key, not the one under Wow6432Node.
  const std::pair<std::wstring, REGSAM> winlogon(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                                                 KEY_QUERY_VALUE | KEY_WOW64_64KEY);
  EXPECT_NE(KeysOpened.end(), std::find(KeysOpened.begin(), KeysOpened.end(), winlogon));

  ScreenSaver::Set(false);
  Session(WTS_SESSION_UNLOCK);
  ASSERT_TRUE(host.WaitForCommands(2, 4000));
  EXPECT_EQ((std::vector<unsigned>{proto::Pause, proto::Play}), host.Commands());
  plugin.Quit();
}

// Windows queues notifications back to back, so the command posted for the first is still
// on its way when the next is handled; the player's pause toggles and its play restarts.
TEST_F(WatchDllTest, ACommandOnItsWayCountsForTheNextNotification) {
  using Host = standin::StandInHost;
  testing_support::WriteFileBytes(ini, "[gen_corvane]\r\nunlock_delay=0\r\nplay_only_when_paused_or_stopped=0\r\n");
  host.SetSimulation(true);
  host.SetPlayState(proto::Paused);
  Start(host);
  // The user comes back to the console: connect and unlock resume once, restart nothing.
  host.PostBackToBack({Host::SessionChange(WTS_CONSOLE_CONNECT), Host::SessionChange(WTS_SESSION_UNLOCK)}, 100);
  EXPECT_EQ(std::vector<unsigned>{proto::Play}, host.Commands());
  EXPECT_EQ(0, host.Restarts());

  // No grace period: the screen saver's message queued behind a lock must not un-pause.
  host.ClearRecords();
  host.PostBackToBack({Host::SessionChange(WTS_SESSION_LOCK), {WM_USER, 0, proto::FirstMessageSelector}}, 100);
  EXPECT_EQ(std::vector<unsigned>{proto::Pause}, host.Commands());
  EXPECT_EQ(proto::Paused, host.PlayState());
  plugin.Quit();
}

// The watch's states as the player's calls move it: init starts it, a screen saver
// reaction and a lock suspend it, an unlock resumes it, config follows the option, quit
// stops it.
TEST_F(WatchDllTest, WatchFollowsInitLockUnlockConfigAndQuit) {
  Start(host);
  ScreenSaver::Set(true);
  ASSERT_TRUE(Reacts()) << "init: polling";
  EXPECT_TRUE(Quiet()) << "the reaction suspends the watch";
  Session(WTS_SESSION_UNLOCK);
  EXPECT_TRUE(Reacts()) << "unlock resumes it";

  ScreenSaver::Set(false);
  Session(WTS_SESSION_UNLOCK);  // polling, with nothing to report
  Session(WTS_SESSION_LOCK);    // pauses by itself and suspends the watch
  ScreenSaver::Set(true);
  EXPECT_TRUE(Quiet()) << "lock: suspended";

  ScreenSaver::Set(false);
  ConfigWithScreenSaverOption(false);
  EXPECT_EQ(0u, GetPrivateProfileIntW(L"gen_corvane", L"lock_on_screensaver", 1, ini.c_str()));
  ScreenSaver::Set(true);
  Session(WTS_SESSION_UNLOCK);
  EXPECT_TRUE(Quiet()) << "config with the option cleared: stopped, and unlock does not start it";

  ConfigWithScreenSaverOption(true);
  EXPECT_TRUE(Reacts()) << "config with the option set: started";

  Session(WTS_SESSION_UNLOCK);
  ScreenSaver::Set(false);
  const DWORD start = GetTickCount();
  plugin.Quit();
  std::printf("[ figure   ] quit took %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
  plugin.Unload();
  EXPECT_FALSE(DllMapped()) << "the stopped worker gave back its hold on the DLL";
}

TEST_F(WatchDllTest, QuitStopsAPollingOrSuspendedWorkerAndTheDllUnloads) {
  for (bool suspended : {false, true}) {
    Start(host);
    host.PumpFor(100);  // the worker is in its wait by now
    if (suspended) Session(WTS_SESSION_LOCK);
    const DWORD start = GetTickCount();
    plugin.Quit();
    const DWORD took = GetTickCount() - start;
    std::printf("[ figure   ] quit with a %s worker took %lu ms\n", suspended ? "suspended" : "polling",
                static_cast<unsigned long>(took));
    EXPECT_LT(took, 5000u) << "a quit that hangs";
    plugin.Unload();
    EXPECT_FALSE(DllMapped()) << (suspended ? "suspended" : "polling");
  }
}

// A host that frees the DLL without quit: the worker holds the DLL, so its code stays
// where it is; the host goes on working, and once its window is gone the worker ends and
// the DLL goes with it.
TEST_F(WatchDllTest, FreeingTheDllWithoutQuitKeepsTheHostWorking) {
  Start(host);
  plugin.Unload();
  EXPECT_TRUE(DllMapped()) << "held by the running worker";

  ScreenSaver::Set(true);
  EXPECT_TRUE(Reacts()) << "the worker polls on, and the plug-in still reacts";
  host.SetMessageHandler([](UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_APP + 1) return false;
    *result = 77;
    return true;
  });
  EXPECT_EQ(77, SendMessageW(host.Window(), WM_APP + 1, 0, 0));
  Session(WTS_SESSION_UNLOCK);
  host.PumpFor(100);

  host.Destroy();
  const DWORD start = GetTickCount();
  while (DllMapped() && GetTickCount() - start < 5000) Sleep(20);
  EXPECT_FALSE(DllMapped()) << "the worker ended with its window and let the DLL go";
}

// Freed without quit while the watch was suspended, then loaded into another host: the
// old worker, still made for the old window, gives way to one for the new host.
TEST_F(WatchDllTest, LoadingAgainAfterAFreeWithoutQuitWatchesForTheNewHost) {
  standin::StandInHost first;
  ASSERT_TRUE(first.Create());
  first.SetIniPath(testing_support::ToAnsi(ini));
  Start(first);
  SendMessageW(first.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  plugin.Unload();
  first.Destroy();

  Start(host);
  ScreenSaver::Set(true);
  EXPECT_TRUE(Reacts()) << "the new host is watched";
  ScreenSaver::Set(false);
  plugin.Quit();
  plugin.Unload();
  EXPECT_FALSE(DllMapped()) << "both workers are gone";
}
