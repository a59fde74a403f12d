// The screen saver watch against the stand-in host: the real worker thread, the real
// registry and the real screen saver state of this process. The fixture hands the host
// window's messages to the watch and the engine as the plug-in's window hook would.
#include "reactions/screensaver_watch.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "reactions/action_engine.h"
#include "reactions/polling_thread.h"
#include "reactions/session_controller.h"
#include "tests/common/test_support.h"
#include "tests/reactions/watch_test_support.h"

namespace proto = standin::proto;
using standin::HostEvent;
using watch_testing::ScreenSaver;
using watch_testing::WatchRegistry;

// Lets a test refuse the plug-in's nothrow allocations (the library's own new is not used).
static bool RefuseNothrowNew = false;
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (RefuseNothrowNew) return nullptr;
  return std::malloc(size ? size : 1);
}

namespace {

// Windows from Vista on, as the seam answers for it: -1 fails the call as XP and Wine do.
int SecureAnswer = -1;
BOOL WINAPI AnswerScreenSaveSecure(UINT action, UINT, PVOID value, UINT) {
  if (action != SPI_GETSCREENSAVESECURE || SecureAnswer < 0) return FALSE;
  *static_cast<BOOL*>(value) = SecureAnswer;
  return TRUE;
}

class WatchTest : public HostTest {
 protected:
  static constexpr LPARAM Selector = proto::FirstMessageSelector;

  void SetUp() override {
    HostTest::SetUp();
    Controller.Settings = ReactionSettings();  // lock: Pause at once; lock_on_screensaver set
    Controller.SessionAttached = true;
    Controller.TimerPending = Controller.PausedByPlugin = Controller.ScreenSaverTriggered = false;
    Controller.GracePeriodSeconds = 0;
    Controller.PendingAction = DoNothing;
    Controller.HostWindow = host.Window();
    UseSelector(Selector);
    host.SetMessageHandler([this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
      *result = 0;
      if (message == WM_COMMAND) {
        OnHostCommand(host.Window(), wParam);
      }
      if (IsCommandsHandledMessage(message)) {
        OnCommandsHandled(wParam);
        return true;
      }
      if (message == WM_TIMER && wParam == GraceTimer) {
        OnGraceTimer(host.Window());
        return true;
      }
      if (message == WM_TIMER && wParam == DelayTimer) {
        OnDelayTimer(host.Window());
        return true;
      }
      if (!hook_messages || !IsScreenSaverMessage(message, lParam)) return false;
      handled_at = host.Now();
      OnScreenSaverMessage(host.Window());
      return true;
    });
  }
  void TearDown() override {
    SystemParametersInfoCall = SystemParametersInfoW;
    StopWatch();
    KillTimer(host.Window(), DelayTimer);
    KillTimer(host.Window(), GraceTimer);
    HostTest::TearDown();
  }

  // The ids as ObtainScreenSaverMessage and InitFromHost would leave them.
  void UseSelector(LPARAM selector) {
    HostScreenSaverSelector = Controller.HostSelector = static_cast<int32_t>(selector);
    RegisteredScreenSaverMessage = Controller.RegisteredMessage = 0;
  }
  void UseRegisteredMessage() {
    HostScreenSaverSelector = Controller.HostSelector = 0;
    RegisteredScreenSaverMessage = Controller.RegisteredMessage = RegisterWindowMessageW(ScreenSaverMessageName);
  }
  static bool IsScreenSaverMessage(UINT message, LPARAM lParam) {
    if (Controller.HostSelector != 0) return message == WM_USER && lParam == Controller.HostSelector;
    return Controller.RegisteredMessage != 0 && message == Controller.RegisteredMessage;
  }

  // The worker's posts that reached the host, whoever handled them.
  size_t Posts() const {
    size_t n = 0;
    for (const HostEvent& e : host.Events())
      if ((e.kind == HostEvent::Kind::Query || e.kind == HostEvent::Kind::Registered) &&
          IsScreenSaverMessage(e.message, e.lParam))
        ++n;
    return n;
  }
  // A worker that polls posts within about a second while the screen saver runs.
  bool Polls() {
    const size_t before = Posts();
    return host.PumpUntil([&] { return Posts() > before; }, 2500);
  }
  // Longer than one poll without a new post. What was posted before (a stop request can
  // meet the worker just past its run test, for one last pass) is still in the queue.
  bool Quiet() {
    host.PumpPending();
    const size_t before = Posts();
    host.PumpFor(1500);
    return Posts() == before;
  }
  // Seconds from the handled screen saver message to the first command, or -1.
  double SecondsToFirstCommand(DWORD timeout_ms) {
    if (!host.WaitForCommands(1, timeout_ms)) return -1;
    for (const HostEvent& e : host.Events())
      if (e.kind == HostEvent::Kind::Command) return e.seconds - handled_at;
    return -1;
  }

  bool hook_messages = true;
  double handled_at = -1;
  WatchRegistry registry;
  ScreenSaver saver;
};

}  // namespace

TEST_F(WatchTest, MessageIdComesFromTheHostOrElseFromWindows) {
  const UINT registered = RegisterWindowMessageW(ScreenSaverMessageName);
  ASSERT_NE(0u, registered);
  struct Row {
    LRESULT answer;
    int32_t selector;
    UINT message;
  };
  const Row rows[] = {
      {0, 0, registered},  // the host offers none
      {1, 0, registered},  // nor this way
      {2, 2, 0},           // the smallest selector
      {proto::FirstMessageSelector, static_cast<int32_t>(proto::FirstMessageSelector), 0},
      {static_cast<LRESULT>(0x80000001u), static_cast<int32_t>(0x80000001u), 0},  // taken as unsigned
  };
  std::string asked_for;  // the host reads the name as ANSI
  host.SetMessageHandler([&](UINT message, WPARAM wParam, LPARAM lParam, LRESULT*) {
    if (message == WM_USER && lParam == proto::QueryRegisterMessage && wParam)
      asked_for = reinterpret_cast<const char*>(wParam);
    return false;
  });
  for (const Row& row : rows) {
    host.SetMessageSelectorAnswer(row.answer);
    asked_for.clear();
    EXPECT_TRUE(ObtainScreenSaverMessage(host.Window())) << "answer " << row.answer;
    EXPECT_EQ("gen_corvane_screensaver", asked_for);
    EXPECT_EQ(row.selector, HostScreenSaverSelector) << "answer " << row.answer;
    EXPECT_EQ(row.message, RegisteredScreenSaverMessage) << "answer " << row.answer;
  }
}

TEST_F(WatchTest, WorkerPostsTheHostSelectorOnlyWhileTheScreenSaverRuns) {
  hook_messages = false;
  StartOrResumeWatch();
  ASSERT_NE(nullptr, Controller.Worker);
  EXPECT_TRUE(Quiet()) << "no screen saver, no post";

  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  ASSERT_TRUE(Polls()) << "and again a second later";
  for (const HostEvent& e : host.Events()) {
    if (!IsScreenSaverMessage(e.message, e.lParam)) continue;
    EXPECT_EQ(static_cast<UINT>(WM_USER), e.message);
    EXPECT_EQ(0u, e.wParam);
  }
}

TEST_F(WatchTest, WithoutASelectorTheWorkerPostsTheRegisteredMessage) {
  hook_messages = false;
  UseRegisteredMessage();
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  const HostEvent& post = host.Events().back();
  EXPECT_EQ(HostEvent::Kind::Registered, post.kind);
  EXPECT_EQ(Controller.RegisteredMessage, post.message);
  EXPECT_EQ(0u, post.wParam);
  EXPECT_EQ(0, post.lParam);
}

// None -> Polling -> Suspended -> Polling -> None, with the calls that leave a state alone.
TEST_F(WatchTest, WatchGoesThroughItsStates) {
  hook_messages = false;
  ScreenSaver::Set(true);
  SuspendWatch();
  StopWatch();
  EXPECT_EQ(nullptr, Controller.Worker) << "suspend and stop without a worker do nothing";

  Controller.Settings.lock_on_screensaver = false;
  StartOrResumeWatch();
  EXPECT_EQ(nullptr, Controller.Worker) << "the option is clear";
  Controller.Settings.lock_on_screensaver = true;
  UseSelector(0);
  StartOrResumeWatch();
  EXPECT_EQ(nullptr, Controller.Worker) << "no id to post";

  UseSelector(Selector);
  StartOrResumeWatch();
  CPollingThread* worker = Controller.Worker;
  ASSERT_NE(nullptr, worker);
  EXPECT_TRUE(Polls());

  SuspendWatch();
  SuspendWatch();
  EXPECT_TRUE(Quiet()) << "suspended";
  Controller.Settings.lock_on_screensaver = false;
  StartOrResumeWatch();
  EXPECT_TRUE(Quiet()) << "a start with the option clear leaves it suspended";

  Controller.Settings.lock_on_screensaver = true;
  StartOrResumeWatch();
  EXPECT_EQ(worker, Controller.Worker) << "a start with a worker only resumes it";
  EXPECT_TRUE(Polls()) << "one resume after two suspends";

  StopWatch();
  EXPECT_EQ(nullptr, Controller.Worker);
  EXPECT_TRUE(Quiet());
}

TEST_F(WatchTest, ConfigStartsResumesOrStopsTheWatch) {
  hook_messages = false;
  ScreenSaver::Set(true);
  UpdateWatchAfterConfig();
  ASSERT_NE(nullptr, Controller.Worker) << "option set: created from None";
  EXPECT_TRUE(Polls());

  SuspendWatch();
  UpdateWatchAfterConfig();
  EXPECT_TRUE(Polls()) << "option set: a suspended watch resumes";

  SuspendWatch();
  Controller.Settings.lock_on_screensaver = false;
  const DWORD start = GetTickCount();
  UpdateWatchAfterConfig();
  const DWORD took = GetTickCount() - start;
  EXPECT_EQ(nullptr, Controller.Worker) << "option cleared: stopped and deleted";
  std::printf("[ figure   ] stopping a suspended watch took %lu ms\n", static_cast<unsigned long>(took));
  // It waits out the poll it was suspended in; the bound only catches a stop that hangs.
  EXPECT_LT(took, 5000u);
  EXPECT_TRUE(Quiet());
}

TEST_F(WatchTest, WorkerThatCannotBeAllocatedLeavesTheWatchInNone) {
  RefuseNothrowNew = true;
  StartOrResumeWatch();
  RefuseNothrowNew = false;
  EXPECT_EQ(nullptr, Controller.Worker);
  StartOrResumeWatch();
  EXPECT_NE(nullptr, Controller.Worker) << "the next start tries again";
}

TEST_F(WatchTest, WorkerMadeForAnotherWindowIsReplaced) {
  hook_messages = false;
  standin::StandInHost old_host;
  ASSERT_TRUE(old_host.Create());
  Controller.HostWindow = old_host.Window();
  StartOrResumeWatch();
  ASSERT_NE(nullptr, Controller.Worker);

  Controller.HostWindow = host.Window();  // a later init in another host
  StartOrResumeWatch();
  ASSERT_NE(nullptr, Controller.Worker);
  EXPECT_TRUE(Controller.Worker->PostsTo(host.Window(), Controller.HostSelector, 0));
  ScreenSaver::Set(true);
  EXPECT_TRUE(Polls());
}

TEST_F(WatchTest, WorkerEndsOnItsOwnOnceItsWindowIsGone) {
  struct Worker : CPollingThread {
    using CPollingThread::CPollingThread;
    bool EndsWithin(DWORD ms) { return WaitForSingleObject(ThreadHandle, ms) == WAIT_OBJECT_0; }
  };
  standin::StandInHost doomed;
  ASSERT_TRUE(doomed.Create());
  Worker worker(doomed.Window(), static_cast<int32_t>(Selector), 0);
  ASSERT_TRUE(worker.Create());
  worker.Resume();
  doomed.Destroy();
  // Nothing asked it to stop; the bound only catches a worker that never ends.
  EXPECT_TRUE(worker.EndsWithin(5000));
  worker.RequestStop();
  worker.WaitForEnd();
}

TEST_F(WatchTest, SecureScreenSaverUnlessItIsSetToStayOffTheWelcomeScreen) {
  // Absent, "0" and "1" for each of the two values; an absent value reads as 0.
  const wchar_t* const values[] = {nullptr, L"0", L"1"};
  for (const wchar_t* secure : values) {
    for (const wchar_t* no_welcome : values) {
      secure ? registry.secure.SetString(secure) : registry.secure.Remove();
      no_welcome ? registry.no_welcome.SetString(no_welcome) : registry.no_welcome.Remove();
      const bool insecure = (!secure || *secure == L'0') && no_welcome && *no_welcome == L'1';
      EXPECT_EQ(!insecure, ScreenSaverLocksSession())
          << "ScreenSaverIsSecure " << (secure ? static_cast<char>(*secure) : '-') << ", NoAutoReturnToWelcome "
          << (no_welcome ? static_cast<char>(*no_welcome) : '-');
    }
  }
}

// Registry data of every kind gives a defined number or the default, and nothing is read
// past the five characters that fit.
TEST_F(WatchTest, GracePeriodFromRegistryDataOfEveryKind) {
  struct Row {
    const char* what;
    DWORD type;
    std::vector<BYTE> data;  // empty with type REG_NONE: the value is absent
    int32_t grace;
  };
  auto text = [](const std::wstring& s, bool terminated) {
    const BYTE* p = reinterpret_cast<const BYTE*>(s.c_str());
    return std::vector<BYTE>(p, p + (s.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
  };
  auto dword = [](DWORD v) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&v);
    return std::vector<BYTE>(p, p + sizeof(v));
  };
  const wchar_t zero_inside[] = {L'1', L'2', L'\0', L'3'};
  const Row rows[] = {
      {"absent", REG_NONE, {}, 6},
      {"\"0\"", REG_SZ, text(L"0", true), 0},
      {"\"1\"", REG_SZ, text(L"1", true), 2},
      {"\"30\"", REG_SZ, text(L"30", true), 31},
      {"four digits", REG_SZ, text(L"9999", true), 10000},
      {"five digits", REG_SZ, text(L"12345", true), 6},
      {"a long text", REG_SZ, text(L"300 seconds", true), 6},
      {"negative", REG_SZ, text(L"-3", true), -3},
      {"blank and sign", REG_SZ, text(L" +7", true), 8},
      {"digits then text", REG_SZ, text(L"4s", true), 5},
      {"no digits", REG_SZ, text(L"ab", true), 0},
      {"empty string", REG_SZ, text(L"", true), 0},
      {"no data at all", REG_SZ, {}, 0},
      {"five characters, no terminator", REG_SZ, text(L"12345", false), 6},
      {"four characters, no terminator", REG_SZ, text(L"1234", false), 1235},
      {"text ends at its first zero", REG_SZ, text(std::wstring(zero_inside, 4), false), 13},
      {"odd byte count", REG_SZ, {'7', 0, '9'}, 8},
      {"expandable string", REG_EXPAND_SZ, text(L"3", true), 4},
      {"DWORD", REG_DWORD, dword(30), 31},
      {"DWORD zero", REG_DWORD, dword(0), 0},
      {"DWORD beyond 32-bit signed", REG_DWORD, dword(0xFFFFFFFFu), 6},
      {"DWORD beyond any timer", REG_DWORD, dword(0x7FFFFFFFu), static_cast<int32_t>(USER_TIMER_MAXIMUM / 1000)},
      {"binary", REG_BINARY, text(L"30", true), 6},
      {"QWORD", REG_QWORD, {30, 0, 0, 0, 0, 0, 0, 0}, 6},
  };
  for (const Row& row : rows) {
    if (row.type == REG_NONE) {
      ASSERT_TRUE(registry.grace.Remove());
    } else {
      ASSERT_TRUE(registry.grace.SetRaw(row.type, row.data.data(), static_cast<DWORD>(row.data.size()))) << row.what;
    }
    EXPECT_EQ(row.grace, QueryGracePeriod()) << row.what;
  }
  EXPECT_EQ(-7, ReadRegistryNumber(HKEY_CURRENT_USER, L"Software\\Quillary test\\no such key", L"x", -7));
}

// The brief grace period "1": the lock rule's action comes two seconds after the message.
TEST_F(WatchTest, ScreenSaverThatOutlastsTheGracePeriodPausesThePlayer) {
  registry.grace.SetString(L"1");
  host.SetPlayState(proto::Playing);
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  EXPECT_TRUE(ReactionTimerArmed(GraceTimer));
  EXPECT_EQ(Pause, Controller.PendingAction);
  EXPECT_TRUE(host.Commands().empty()) << "the player is left alone during the grace period";

  const double waited = SecondsToFirstCommand(5000);
  ASSERT_GE(waited, 0) << "nothing was posted";
  EXPECT_GE(waited, 1.9);
  std::printf("[ figure   ] paused %.2f s after the screen saver message\n", waited);
  EXPECT_EQ(std::vector<unsigned>{proto::Pause}, host.Commands());
  EXPECT_TRUE(Controller.PausedByPlugin);
  // Windows never locked the session, so no unlock comes to resume the watch.
  EXPECT_TRUE(Quiet());
}

TEST_F(WatchTest, ScreenSaverThatEndsWithinTheGracePeriodIsLeftAlone) {
  registry.grace.SetString(L"1");
  host.SetPlayState(proto::Playing);
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  ASSERT_TRUE(ReactionTimerArmed(GraceTimer));
  ScreenSaver::Set(false);  // the user moves the mouse
  host.PumpUntil([] { return !ReactionTimerArmed(GraceTimer); }, 5000);
  EXPECT_FALSE(ReactionTimerArmed(GraceTimer));
  EXPECT_EQ(DoNothing, Controller.PendingAction);
  host.PumpFor(100);
  EXPECT_TRUE(host.Commands().empty());

  hook_messages = false;
  ScreenSaver::Set(true);
  EXPECT_TRUE(Polls()) << "the watch polls again";
}

TEST_F(WatchTest, GracePeriodZeroWithNoDelayRunsTheLockRuleAtOnce) {
  registry.grace.SetString(L"0");
  host.SetPlayState(proto::Playing);
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  EXPECT_FALSE(Controller.TimerPending);
  host.PumpPending();
  EXPECT_EQ(std::vector<unsigned>{proto::Pause}, host.Commands());
  EXPECT_TRUE(Quiet()) << "the watch is suspended while the reaction is under way";
}

TEST_F(WatchTest, StopAfterCurrentStillWaitsTheGracePeriod) {
  registry.grace.SetString(L"1");
  Controller.Settings.lock.SetAction(StopAfterCurrent);
  Controller.Settings.lock.SetDelay(0);
  host.SetPlayState(proto::Playing);
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  EXPECT_TRUE(ReactionTimerArmed(GraceTimer));
  const double waited = SecondsToFirstCommand(5000);
  EXPECT_GE(waited, 1.9);
  EXPECT_EQ(std::vector<unsigned>{proto::StopAfterCurrent}, host.Commands());
}

TEST_F(WatchTest, MessageIsIgnoredUnlessTheScreenSaverSecuresTheSessionAndTheOptionIsSet) {
  host.SetPlayState(proto::Playing);
  registry.secure.SetString(L"0");
  registry.no_welcome.SetString(L"1");
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  ASSERT_TRUE(Polls()) << "the worker goes on posting";
  EXPECT_FALSE(Controller.TimerPending);
  EXPECT_FALSE(Controller.ScreenSaverTriggered);

  registry.secure.SetString(L"1");
  Controller.Settings.lock_on_screensaver = false;  // cleared, as the dialog does before its stop
  OnScreenSaverMessage(host.Window());
  EXPECT_FALSE(Controller.TimerPending);
  host.PumpPending();
  EXPECT_TRUE(host.Commands().empty());
}

// Windows answers whether its screen saver asks for the password from Vista on, where
// NoAutoReturnToWelcome is never set; only XP and Wine, which cannot answer, keep the rule.
TEST_F(WatchTest, FromVistaOnWindowsSaysWhetherTheScreenSaverLocks) {
  SystemParametersInfoCall = AnswerScreenSaveSecure;
  const struct {
    int answer;
    const wchar_t* secure;
    const wchar_t* no_welcome;
    bool locks;
  } cases[] = {{-1, L"0", nullptr, true},
               {-1, L"0", L"1", false},
               {0, L"0", nullptr, false},
               {0, L"1", nullptr, false},
               {1, L"0", L"1", true}};
  for (const auto& c : cases) {
    SecureAnswer = c.answer;
    registry.secure.SetString(c.secure);
    c.no_welcome ? registry.no_welcome.SetString(c.no_welcome) : registry.no_welcome.Remove();
    EXPECT_EQ(c.locks, ScreenSaverLocksSession()) << c.answer << " " << (c.no_welcome != nullptr);
  }

  // Windows 10 with an insecure screen saver: nothing pauses, and the watch goes on.
  SecureAnswer = 0;
  registry.no_welcome.Remove();
  registry.grace.SetString(L"0");
  host.SetPlayState(proto::Playing);
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  ASSERT_TRUE(Polls()) << "not suspended";
  host.PumpPending();
  EXPECT_TRUE(host.Commands().empty());
  SecureAnswer = 1;
  EXPECT_TRUE(host.WaitForCommands(1, 2500)) << "a password-protected one pauses";
}

// While another user has the console no rule runs, and nothing is left behind that would
// turn the next rule into a screen saver reaction.
TEST_F(WatchTest, DetachedSessionAppliesNothingAndLeavesNoTriggerBehind) {
  host.SetPlayState(proto::Paused);
  Controller.SessionAttached = false;
  StartOrResumeWatch();
  ScreenSaver::Set(true);
  ASSERT_TRUE(Polls());
  EXPECT_FALSE(Controller.ScreenSaverTriggered);
  EXPECT_EQ(0, Controller.GracePeriodSeconds);
  EXPECT_FALSE(Controller.TimerPending);
  EXPECT_TRUE(Polls()) << "not suspended";

  // The console comes back: its unlock rule waits its own delay on the delay timer.
  Controller.SessionAttached = true;
  ApplyRule(Controller.Settings.unlock, host.Window());
  EXPECT_TRUE(ReactionTimerArmed(DelayTimer));
}

TEST_F(WatchTest, GraceTimerThatIsNotTheArmedOneRunsNothing) {
  host.SetPlayState(proto::Playing);
  SendMessageW(host.Window(), WM_TIMER, GraceTimer, 0);  // nothing armed
  Controller.Settings.lock.SetDelay(5);
  ApplyRule(Controller.Settings.lock, host.Window());  // arms the delay timer
  ASSERT_TRUE(ReactionTimerArmed(DelayTimer));
  SendMessageW(host.Window(), WM_TIMER, GraceTimer, 0);
  EXPECT_TRUE(ReactionTimerArmed(DelayTimer)) << "the delay timer's action still waits";
  host.PumpFor(50);
  EXPECT_TRUE(host.Commands().empty());
}
