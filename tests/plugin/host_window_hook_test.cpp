// HostWindowProc on a subclassed stand-in host: which session changes apply which rule,
// and that everything that is not the plug-in's reaches the host unchanged.
#include "plugin/host_window_hook.h"

#include "host/host_api.h"
#include "host/plugin_header.h"
#include "reactions/screensaver_watch.h"
#include "reactions/session_controller.h"
#include "tests/common/test_support.h"

#include <wtsapi32.h>

using standin::CloseCommand;
using standin::HostEvent;

namespace {

class HookTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    PluginHeader.hwndParent = host.Window();
    PluginHeader.hDllInstance = GetModuleHandleW(nullptr);
    ASSERT_EQ(HookResult::Hooked, RegisterAndSubclass(host.Window()));
    ASSERT_EQ(reinterpret_cast<LONG_PTR>(HostWindowProc), GetWindowLongPtrW(host.Window(), GWLP_WNDPROC));
  }
  void TearDown() override {
    ReleaseHostWindow(host.Window());
    HostTest::TearDown();
  }

  // Rules that post a different command for each event while the host plays.
  void UseDistinctRules() {
    host.SetPlayState(standin::proto::Playing);
    Controller.Settings.lock.SetAction(Pause);            // 40046
    Controller.Settings.login.SetAction(StopWithFade);    // 40147
    Controller.Settings.unlock.SetAction(CloseHost);      // WM_CLOSE
    Controller.Settings.lock.SetDelay(0);
    Controller.Settings.login.SetDelay(0);
    Controller.Settings.unlock.SetDelay(0);
  }

  std::vector<unsigned> SendSessionChange(WPARAM code) {
    host.ClearRecords();
    SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, code, 1);
    host.PumpFor(30);  // commands are posted
    return host.Commands();
  }
};

}  // namespace

TEST_F(HookTest, SessionChangesApplyTheirRulesAndFollowTheConsole) {
  UseDistinctRules();
  const std::vector<unsigned> none;
  const struct {
    WPARAM code;
    std::vector<unsigned> commands;
    bool attached_after;
  } steps[] = {
      {WTS_SESSION_LOCK, {40046}, true},
      {WTS_SESSION_UNLOCK, {CloseCommand}, true},
      {WTS_CONSOLE_DISCONNECT, {40147}, false},
      {WTS_SESSION_LOCK, none, false},          // the console is another user's
      {WTS_SESSION_UNLOCK, none, false},
      {WTS_CONSOLE_DISCONNECT, {40147}, false},  // whatever SessionAttached was
      {WTS_CONSOLE_CONNECT, {CloseCommand}, true},
      {WTS_SESSION_UNLOCK, {CloseCommand}, true},
      {WTS_REMOTE_CONNECT, none, true},
      {WTS_REMOTE_DISCONNECT, none, true},
      {WTS_SESSION_LOGON, none, true},
      {WTS_SESSION_LOGOFF, none, true},
      {WTS_SESSION_REMOTE_CONTROL, none, true},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(step.commands, SendSessionChange(step.code)) << "session code " << step.code;
    EXPECT_EQ(step.attached_after, Controller.SessionAttached) << "session code " << step.code;
  }
}

TEST_F(HookTest, SessionChangeReachesTheHostAfterThePluginActed) {
  UseDistinctRules();
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  const auto& events = host.Events();
  ASSERT_GE(events.size(), 2u);
  for (size_t i = 0; i + 1 < events.size(); ++i)
    EXPECT_EQ(HostEvent::Kind::Query, events[i].kind) << "the lock rule asked the host first";
  EXPECT_EQ(HostEvent::Kind::SessionChange, events.back().kind);
  EXPECT_EQ(static_cast<WPARAM>(WTS_SESSION_LOCK), events.back().wParam);
  EXPECT_EQ(1, events.back().lParam);
}

TEST_F(HookTest, ForeignMessagesReachTheHostWithTheirResults) {
  host.SetMessageHandler([](UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message == WM_TIMER && wParam == 31337) *result = 11;
    else if (message == WM_APP + 3) *result = 33;
    else if (message == WM_NULL) *result = 44;
    else if (message == WM_USER && wParam == 9) *result = 55;
    else return false;
    return true;
  });
  EXPECT_EQ(11, SendMessageW(host.Window(), WM_TIMER, 31337, 0));
  EXPECT_EQ(33, SendMessageW(host.Window(), WM_APP + 3, 1, 2));
  // No screen saver ids yet: WM_USER with lParam 0 and message 0 belong to the host.
  ASSERT_EQ(0, HostScreenSaverSelector);
  ASSERT_EQ(0u, RegisteredScreenSaverMessage);
  EXPECT_EQ(44, SendMessageW(host.Window(), WM_NULL, 0, 0));
  EXPECT_EQ(55, SendMessageW(host.Window(), WM_USER, 9, 0));
  EXPECT_EQ(1u, host.CountEvents(HostEvent::Kind::Timer));
  EXPECT_EQ(1u, host.CountQueries(0));
}

TEST_F(HookTest, PluginTimersAndTheScreenSaverMessageAreConsumed) {
  Controller.Settings.lock_on_screensaver = false;  // the message is taken, but acts on nothing
  SendMessageW(host.Window(), WM_TIMER, DelayTimer, 0);
  SendMessageW(host.Window(), WM_TIMER, GraceTimer, 0);
  SendMessageW(host.Window(), WM_TIMER, RegistrationRetryTimer, 0);
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Timer));

  HostScreenSaverSelector = 65537;
  EXPECT_EQ(0, SendMessageW(host.Window(), WM_USER, 0, 65537));
  EXPECT_EQ(0u, host.CountQueries(65537));
  HostScreenSaverSelector = 0;

  RegisteredScreenSaverMessage = RegisterWindowMessageW(ScreenSaverMessageName);
  SendMessageW(host.Window(), RegisteredScreenSaverMessage, 0, 0);
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Registered));
  RegisteredScreenSaverMessage = 0;
}

TEST_F(HookTest, ReleaseRestoresTheHostsProcedureAndKillsTheTimers) {
  SetTimer(host.Window(), DelayTimer, 10, nullptr);
  SetTimer(host.Window(), GraceTimer, 10, nullptr);
  Controller.TimerPending = true;
  ReleaseHostWindow(host.Window());
  EXPECT_NE(reinterpret_cast<LONG_PTR>(HostWindowProc), GetWindowLongPtrW(host.Window(), GWLP_WNDPROC));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(PreviousHostWindowProc), GetWindowLongPtrW(host.Window(), GWLP_WNDPROC));
  EXPECT_FALSE(Controller.TimerPending);
  host.PumpFor(60);
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Timer)) << "no reaction timer may fire after quit";
  EXPECT_FALSE(RegisteredForNotifications);
}
