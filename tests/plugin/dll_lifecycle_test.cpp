// The shipped DLL in the stand-in host, in the orders in which the player really calls
// it: the host must keep working whatever happens to the plug-in.
#include "tests/common/test_support.h"

#include <wtsapi32.h>

#include "plugin/host_api.h"

using standin::HostEvent;
using standin::PluginLoader;
using testing_support::PluginDllPath;

namespace {

class DllTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ini = folder.File(L"winamp.ini");
    host.SetIniPath(testing_support::ToAnsi(ini));
  }
  void Start() {
    ASSERT_TRUE(plugin.Load(PluginDllPath())) << plugin.Error();
    ASSERT_EQ(0, plugin.Init(host.Window()));
  }
  static bool DllMapped() { return GetModuleHandleW(L"gen_corvane.dll") != nullptr; }
  LONG HostProcedure() { return GetWindowLongW(host.Window(), GWL_WNDPROC); }

  // Everything a host window receives after the plug-in is gone: session changes, both
  // reaction timers, the screen saver selector and an ordinary message with a result.
  void ExpectHostStillWorks() {
    host.SetMessageHandler([](UINT message, WPARAM, LPARAM, LRESULT* result) {
      if (message != WM_APP + 1) return false;
      *result = 77;
      return true;
    });
    host.ClearRecords();
    host.SetPlayState(standin::proto::Playing);
    for (WPARAM code : {WTS_SESSION_LOCK, WTS_SESSION_UNLOCK, WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT})
      SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, code, 1);
    SendMessageW(host.Window(), WM_TIMER, DelayTimer, 0);
    SendMessageW(host.Window(), WM_TIMER, GraceTimer, 0);
    SendMessageW(host.Window(), WM_USER, 0, standin::proto::FirstMessageSelector);
    EXPECT_EQ(77, SendMessageW(host.Window(), WM_APP + 1, 0, 0));
    host.PumpFor(50);
    EXPECT_EQ(4u, host.CountEvents(HostEvent::Kind::SessionChange));
    EXPECT_EQ(2u, host.CountEvents(HostEvent::Kind::Timer));
    EXPECT_EQ(1u, host.CountQueries(standin::proto::FirstMessageSelector));
    EXPECT_TRUE(host.Commands().empty()) << "a plug-in that has quit reacts to nothing";
  }

  testing_support::TempFolder folder;
  std::wstring ini;
  PluginLoader plugin;
};

}  // namespace

// Uninstall from the preferences: quit, then the DLL is freed while the host runs on.
TEST_F(DllTest, QuitThenUnloadGivesTheHostItsWindowBack) {
  LONG own = HostProcedure();
  Start();
  EXPECT_NE(own, HostProcedure());
  plugin.Quit();
  EXPECT_EQ(own, HostProcedure());
  plugin.Unload();
  EXPECT_FALSE(DllMapped());
  ExpectHostStillWorks();
}

// Windows log-off: quit while the window still exists; the DLL stays mapped.
TEST_F(DllTest, QuitWhileTheWindowLivesLeavesItUntouched) {
  LONG own = HostProcedure();
  Start();
  plugin.Quit();
  EXPECT_EQ(own, HostProcedure());
  ExpectHostStillWorks();
}

// Normal exit: the host destroys its main window first and calls quit afterwards.
TEST_F(DllTest, QuitAfterTheWindowIsGoneIsHarmless) {
  Start();
  host.Destroy();
  plugin.Quit();
  plugin.Unload();
  EXPECT_FALSE(DllMapped());
}

TEST_F(DllTest, QuitCancelsAnArmedReactionTimer) {
  testing_support::WriteFileBytes(ini, "[gen_corvane]\r\nlock_action=1\r\nlock_delay=1\r\n");
  host.SetPlayState(standin::proto::Playing);
  Start();
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  plugin.Quit();
  EXPECT_EQ(std::vector<UINT_PTR>(),
            testing_support::TimersStillSet(host.Window(), {DelayTimer, GraceTimer, RegistrationRetryTimer}));
  plugin.Unload();
  host.PumpFor(1300);
  EXPECT_TRUE(host.Commands().empty());
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Timer)) << "the delay timer was killed, not left to fire";
}

namespace {
WNDPROC Covered = nullptr;
LRESULT CALLBACK Covering(HWND w, UINT m, WPARAM wp, LPARAM lp) { return CallWindowProcW(Covered, w, m, wp, lp); }
}  // namespace

// A second init in the same process while HostWindowProc is still in the window's chain:
// after a free without quit that the watch's worker outlived, and after a quit that had to
// leave it under another subclass. A second subclass would make the window recurse.
TEST_F(DllTest, ASecondInitOnTheSameWindowOnlyTurnsTheHookBackOn) {
  auto one_lock_pauses = [this](const char* after) {
    host.ClearRecords();
    host.SetPlayState(standin::proto::Playing);
    SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
    host.PumpFor(50);
    EXPECT_EQ(std::vector<unsigned>{40046}, host.Commands()) << after;
  };
  Start();
  plugin.Unload();
  ASSERT_TRUE(DllMapped()) << "held by the watch's worker";
  Start();
  one_lock_pauses("a free without quit");
  plugin.Quit();
  plugin.Unload();
  EXPECT_FALSE(DllMapped());

  Start();
  Covered = reinterpret_cast<WNDPROC>(SetWindowLongW(host.Window(), GWL_WNDPROC, reinterpret_cast<LONG>(Covering)));
  plugin.Quit();
  plugin.Unload();
  ASSERT_TRUE(DllMapped()) << "pinned under the other subclass";
  Start();
  one_lock_pauses("a quit under another subclass");
  plugin.Quit();
}

// The road a user sees first: lock pauses a playing host, unlock resumes it two seconds later.
TEST_F(DllTest, LockPausesAndUnlockResumesAfterTwoSeconds) {
  host.SetSimulation(true);
  host.SetPlayState(standin::proto::Playing);
  Start();
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  ASSERT_TRUE(host.WaitForCommands(1, 1000));
  EXPECT_EQ(std::vector<unsigned>{40046}, host.Commands());
  EXPECT_EQ(standin::proto::Paused, host.PlayState());

  double unlocked = host.Now();
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1);
  ASSERT_TRUE(host.WaitForCommands(2, 4000));
  double resumed = host.Events().back().seconds;
  EXPECT_EQ((std::vector<unsigned>{40046, 40045}), host.Commands());
  EXPECT_GE(resumed - unlocked, 1.9);
  EXPECT_EQ(standin::proto::Playing, host.PlayState());
  plugin.Quit();
}
