// A storm of host messages through HostWindowProc: every session code, both reaction
// timers whether armed or not, the screen saver message, config calls and foreign messages,
// under rules that change as it goes. After every message the engine's invariants must
// hold, and every foreign message must come back from the host with its own result.
#include <set>
#include <vector>

#include "host/host_api.h"
#include "plugin/host_window_hook.h"
#include "plugin/plugin_entry.h"
#include "host/plugin_header.h"
#include "reactions/action_engine.h"
#include "reactions/screensaver_watch.h"
#include "reactions/session_controller.h"
#include "tests/common/test_support.h"
#include "tests/reliability/reliability.h"

#include <commctrl.h>
#include <wtsapi32.h>

using reliability::Figure;
using reliability::Random;

namespace {

constexpr UINT ForeignBase = WM_APP + 100;
constexpr LRESULT ForeignResult(UINT message, WPARAM wParam) { return static_cast<LRESULT>(message * 7 + wParam); }

// The commands an action may post when it runs (Pause may have become Stop for a stream).
std::set<unsigned> AllowedFor(int32_t action) {
  switch (action) {
    // Play and next track also take back the plug-in's own stop-after-current.
    case Pause: return {40046, 40047};
    case Stop: return {40047};
    case StopWithFade: return {40147};
    case StopAfterCurrent: return {40157};
    case PlayOrResume: return {40045, 40157};
    case PlayNext: return {40047, 40048, 40045, 40157};
    case CloseHost: return {standin::CloseCommand};
    default: return {};
  }
}

// Ends every dialog of this thread, as a user pressing Cancel would.
BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  if (std::wstring(cls) == L"#32770") PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

class MessageStorm : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    PluginHeader.hwndParent = host.Window();
    PluginHeader.hDllInstance = GetModuleHandleW(nullptr);
    host.SetIniPath(testing_support::ToAnsi(folder.File(L"winamp.ini")));
    host.SetMessageHandler([](UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
      if (message < ForeignBase || message >= ForeignBase + 16) return false;
      *result = ForeignResult(message, wParam);
      return true;
    });
    ASSERT_EQ(0, PluginInit());
  }
  void TearDown() override {
    PluginQuit();
    HostTest::TearDown();
  }

  void RandomRules(Random& r) {
    ReactionSettings& s = Controller.Settings;
    for (EventReaction* rule : {&s.lock, &s.unlock, &s.login}) {
      rule->SetAction(static_cast<int32_t>(1 + r.Below(8)));
      // Long delays: real expiries would race the storm, which sends its own.
      static const int32_t delays[] = {0, 0, 30, 45, 60};
      rule->SetDelay(delays[r.Below(5)]);
    }
    s.always_stop_streams = r.Chance(50);
    s.play_only_when_paused_or_stopped = r.Chance(50);
    s.lock_on_screensaver = r.Chance(50);
  }

  // Whether each reaction timer is armed; a probe kills it, so it is armed again (long).
  void ProbeTimers(bool* delay, bool* grace) {
    *delay = KillTimer(host.Window(), DelayTimer) != 0;
    *grace = KillTimer(host.Window(), GraceTimer) != 0;
    if (*delay) SetTimer(host.Window(), DelayTimer, 600000, nullptr);
    if (*grace) SetTimer(host.Window(), GraceTimer, 600000, nullptr);
  }

  testing_support::TempFolder folder;
};

}  // namespace

TEST_F(MessageStorm, InvariantsHoldThroughAHundredThousandMessages) {
  const int messages = 100000 * reliability::Scale();
  Random r(4242);
  const WPARAM codes[] = {WTS_CONSOLE_CONNECT, WTS_CONSOLE_DISCONNECT, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK,
                          WTS_SESSION_LOCK,    WTS_SESSION_UNLOCK,     WTS_REMOTE_CONNECT, WTS_SESSION_LOGON,
                          WTS_SESSION_LOGOFF,  0,                      11};
  const LPARAM selector = HostScreenSaverSelector;
  unsigned commands = 0, foreign = 0, configs = 0, expiries = 0;
  const DWORD start = GetTickCount();

  for (int i = 0; i < messages; ++i) {
    if (i % 997 == 0) RandomRules(r);
    if (r.Chance(10)) host.SetPlayState(r.Chance(50) ? 1 : r.Chance(50) ? 3 : 0);
    if (r.Chance(5)) host.SetLength(r.Chance(30) ? -1 : 200);

    const bool attached_before = Controller.SessionAttached;
    const bool pending_before = Controller.TimerPending;
    const int32_t pending_action = Controller.PendingAction;
    std::set<unsigned> allowed;  // what this message may make the plug-in post
    host.ClearRecords();

    const uint32_t kind = r.Below(100);
    if (kind < 40) {
      WPARAM code = codes[r.Below(sizeof(codes) / sizeof(codes[0]))];
      const ReactionSettings& s = Controller.Settings;
      if (code == WTS_CONSOLE_DISCONNECT) allowed = AllowedFor(s.login.action);
      if (code == WTS_CONSOLE_CONNECT || (code == WTS_SESSION_UNLOCK && attached_before))
        allowed = AllowedFor(s.unlock.action);
      if (code == WTS_SESSION_LOCK && attached_before) allowed = AllowedFor(s.lock.action);
      SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, code, 1);
    } else if (kind < 55) {
      const UINT_PTR timer = r.Chance(50) ? DelayTimer : GraceTimer;
      if (pending_before && ReactionTimerArmed(timer)) {
        allowed = AllowedFor(pending_action);
        ++expiries;
      }
      SendMessageW(host.Window(), WM_TIMER, timer, 0);
    } else if (kind < 62) {
      // A screen saver reaction waits at least a second, so it posts nothing now.
      if (selector) SendMessageW(host.Window(), WM_USER, 0, selector);
    } else if (kind < 63 && configs < 200u * reliability::Scale()) {
      ++configs;
      host.After(1, [] { EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0); });
      PluginConfig();
    } else {
      ++foreign;
      const UINT message = kind < 80 ? ForeignBase + r.Below(16) : WM_TIMER;
      const WPARAM wParam = message == WM_TIMER ? 30000 + r.Below(100) : r.Below(1000);
      LRESULT result = SendMessageW(host.Window(), message, wParam, 0);
      if (message != WM_TIMER) {
        ASSERT_EQ(ForeignResult(message, wParam), result) << "message " << i;
      } else {
        ASSERT_EQ(1u, host.CountEvents(standin::HostEvent::Kind::Timer)) << "message " << i;
      }
    }

    host.PumpPending();
    for (unsigned command : host.Commands()) {
      ++commands;
      ASSERT_TRUE(allowed.count(command)) << "message " << i << " (kind " << kind << ") posted " << command;
    }
    bool delay_armed = false, grace_armed = false;
    ProbeTimers(&delay_armed, &grace_armed);
    ASSERT_FALSE(delay_armed && grace_armed) << "message " << i;
    ASSERT_EQ(Controller.TimerPending, delay_armed || grace_armed) << "message " << i << " (kind " << kind << ")";
    if (Controller.TimerPending) {
      ASSERT_TRUE(ReactionTimerArmed(delay_armed ? DelayTimer : GraceTimer)) << "message " << i;
    }
  }
  Figure("message storm: %d messages, %u commands, %u armed expiries, %u config calls, %u foreign, %.1f s", messages,
         commands, expiries, configs, foreign, (GetTickCount() - start) / 1000.0);
}
