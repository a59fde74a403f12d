// The action engine against the stand-in host: commands it posts for each playing state,
// what it remembers, and its reaction timers, which are real window timers on the host.
#include "reactions/action_engine.h"
#include "host/host_api.h"
#include "reactions/session_controller.h"
#include "tests/common/test_support.h"

#include <vector>

namespace proto = standin::proto;
using standin::HostEvent;
using Commands = std::vector<unsigned>;

namespace {

EventReaction Rule(int32_t action, int32_t delay) {
  EventReaction r;
  r.action = action;
  r.delay = delay;
  return r;
}

class EngineTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Controller.Settings = ReactionSettings();
    Controller.TimerPending = Controller.PausedByPlugin = Controller.ScreenSaverTriggered = false;
    Controller.GracePeriodSeconds = 0;
    Controller.PendingAction = DoNothing;
    Controller.StopAfterCurrentArmedBy = ArmedByNobody;
    ForgetCommandsOnTheirWay();
    host.SetLength(215);
    // The plug-in's window hook is not installed here: hand its timer, its marker and the
    // passing commands over as it would.
    host.SetMessageHandler([this](UINT message, WPARAM id, LPARAM, LRESULT* result) {
      if (message == WM_COMMAND) {
        OnHostCommand(host.Window(), id);
      }
      if (IsCommandsHandledMessage(message) && !drop_markers) {
        OnCommandsHandled(id);
        return true;
      }
      if (message != WM_TIMER || id != DelayTimer) return false;
      OnDelayTimer(Host());
      *result = 0;
      return true;
    });
  }
  void TearDown() override {
    KillTimer(Host(), DelayTimer);
    KillTimer(Host(), GraceTimer);
    HostTest::TearDown();
  }

  HWND Host() { return host.Window(); }
  bool drop_markers = false;  // as a subclass above ours that ate them would
  // Commands arrive only once posted messages are dispatched.
  Commands Posted() {
    host.PumpPending();
    return host.Commands();
  }
  // Whether the timer was running; stops it.
  bool TakeTimer(UINT_PTR id) { return KillTimer(Host(), id) != 0; }
  // Seconds from now until the host sees the timer, or a negative value when it never does.
  double SecondsUntilTimer(UINT_PTR id, DWORD timeout_ms) {
    const double start = host.Now();
    auto fired = [&]() -> const HostEvent* {
      for (const HostEvent& e : host.Events())
        if (e.kind == HostEvent::Kind::Timer && e.wParam == id && e.seconds >= start) return &e;
      return nullptr;
    };
    if (!host.PumpUntil([&] { return fired() != nullptr; }, timeout_ms)) return -1;
    return fired()->seconds - start;
  }
};

}  // namespace

TEST_F(EngineTest, ActionTableForEachPlayingState) {
  struct Row {
    int32_t action;
    int state;
    bool stop_paused_stream;
    bool play_only_when_interrupted;
    bool paused_by_plugin_before;
    Commands posted;
    bool paused_by_plugin_after;
  };
  const unsigned Close = standin::CloseCommand;
  const Row rows[] = {
      {Pause, proto::Playing, false, true, false, {proto::Pause}, true},
      {Pause, proto::Paused, true, true, false, {}, false},
      {Pause, proto::Stopped, false, true, true, {}, true},
      {Stop, proto::Playing, false, true, false, {proto::Stop}, true},
      {Stop, proto::Paused, true, true, false, {proto::Stop}, false},
      {Stop, proto::Paused, true, true, true, {proto::Stop}, true},
      {Stop, proto::Paused, false, true, false, {}, false},
      {Stop, proto::Stopped, true, true, false, {}, false},
      {Stop, 2, true, true, false, {}, false},  // an unknown state counts as stopped
      {StopWithFade, proto::Playing, false, true, false, {proto::StopWithFade}, true},
      {StopWithFade, proto::Paused, true, true, false, {}, false},
      {StopAfterCurrent, proto::Playing, false, true, false, {proto::StopAfterCurrent}, true},
      {StopAfterCurrent, proto::Stopped, false, true, true, {}, true},
      {PlayOrResume, proto::Paused, false, true, true, {proto::Play}, false},
      {PlayOrResume, proto::Stopped, false, true, false, {}, false},
      {PlayOrResume, proto::Stopped, false, false, false, {proto::Play}, false},
      {PlayOrResume, 2, false, false, false, {proto::Play}, false},
      {PlayOrResume, proto::Playing, false, false, true, {}, false},
      {PlayNext, proto::Playing, false, false, true, {}, false},
      {PlayNext, proto::Paused, false, true, true, {proto::Stop, proto::NextTrack, proto::Play}, false},
      {PlayNext, proto::Stopped, false, false, false, {proto::Stop, proto::NextTrack, proto::Play}, false},
      {PlayNext, proto::Stopped, false, true, false, {}, false},
      {CloseHost, proto::Stopped, false, true, true, {Close}, true},
      {CloseHost, proto::Playing, false, true, false, {Close}, false},
      {CloseHost, proto::Paused, false, true, false, {Close}, false},
      {DoNothing, proto::Playing, true, true, true, {}, true},
      {0, proto::Playing, true, true, false, {}, false},
      {9, proto::Playing, true, true, false, {}, false},
  };
  int n = 0;
  for (const Row& row : rows) {
    ++n;
    host.ClearRecords();
    host.SetPlayState(row.state);
    Controller.Settings.play_only_when_paused_or_stopped = row.play_only_when_interrupted;
    Controller.PausedByPlugin = row.paused_by_plugin_before;

    ExecuteAction(0, Host(), row.action, row.stop_paused_stream);

    EXPECT_TRUE(host.Commands().empty()) << "row " << n << ": commands must be posted, not sent";
    EXPECT_EQ(row.posted, Posted()) << "row " << n;
    EXPECT_EQ(row.paused_by_plugin_after, Controller.PausedByPlugin) << "row " << n;
    EXPECT_FALSE(Controller.TimerPending) << "row " << n;
  }
}

TEST_F(EngineTest, ResumesOnlyWhatThePluginPaused) {
  host.SetSimulation(true);
  const EventReaction lock = Rule(Pause, 0);
  const EventReaction unlock = Rule(PlayOrResume, 1);

  // The plug-in paused: the delayed resume plays again, once.
  host.SetPlayState(proto::Playing);
  ApplyRule(lock, Host());
  EXPECT_EQ(Commands({proto::Pause}), Posted());
  EXPECT_TRUE(Controller.PausedByPlugin);
  ApplyRule(unlock, Host());
  EXPECT_TRUE(Posted().size() == 1 && Controller.TimerPending) << "the resume must wait for its delay";
  ASSERT_TRUE(host.WaitForCommands(2, 5000));
  EXPECT_EQ(Commands({proto::Pause, proto::Play}), host.Commands());
  EXPECT_EQ(proto::Playing, host.PlayState());
  EXPECT_FALSE(Controller.PausedByPlugin);
  EXPECT_FALSE(TakeTimer(DelayTimer)) << "an expired reaction timer must not repeat";

  // The user paused: locking finds nothing to pause, and unlocking leaves the pause alone.
  host.ClearRecords();
  host.SetPlayState(proto::Paused);
  ApplyRule(lock, Host());
  ApplyRule(Rule(PlayOrResume, 0), Host());
  EXPECT_EQ(Commands(), Posted());
  EXPECT_EQ(proto::Paused, host.PlayState());
}

TEST_F(EngineTest, PauseBecomesStopForStreams) {
  struct Row {
    int state;
    bool always_stop_streams;
    int length;
    Commands posted;
    bool paused_by_plugin_after;
    size_t length_queries;
  };
  const Row rows[] = {
      {proto::Playing, true, -1, {proto::Stop}, true, 1},
      {proto::Paused, true, -1, {proto::Stop}, false, 1},  // a paused stream is stopped too
      {proto::Stopped, true, -1, {}, false, 0},            // a stopped host is not asked
      {proto::Playing, false, -1, {proto::Pause}, true, 0},
      {proto::Playing, true, 215, {proto::Pause}, true, 1},
      {proto::Paused, true, 215, {}, false, 1},
  };
  int n = 0;
  for (const Row& row : rows) {
    ++n;
    host.ClearRecords();
    host.SetPlayState(row.state);
    host.SetLength(row.length);
    Controller.Settings.always_stop_streams = row.always_stop_streams;
    Controller.PausedByPlugin = false;

    ApplyRule(Rule(Pause, 0), Host());

    EXPECT_EQ(row.posted, Posted()) << "row " << n;
    EXPECT_EQ(row.paused_by_plugin_after, Controller.PausedByPlugin) << "row " << n;
    EXPECT_EQ(row.length_queries, host.CountQueries(proto::QueryLength)) << "row " << n;
  }
}

// The stream test is made when the rule is applied; at expiry only a paused stream counts.
TEST_F(EngineTest, DelayedRulesKeepTheirChoiceUntilExpiry) {
  struct Row {
    EventReaction rule;
    int state;
    int length_when_applied;
    int length_at_expiry;
    unsigned posted;
  };
  const Row rows[] = {
      {Rule(Pause, 1), proto::Playing, -1, 215, proto::Stop},   // substituted Stop stays a Stop
      {Rule(Pause, 1), proto::Playing, 215, -1, proto::Pause},  // a delayed Pause is not re-examined
      {Rule(Stop, 1), proto::Paused, -1, -1, proto::Stop},      // a delayed Stop ends a paused stream
  };
  int n = 0;
  for (const Row& row : rows) {
    ++n;
    host.ClearRecords();
    host.SetPlayState(row.state);
    host.SetLength(row.length_when_applied);
    ApplyRule(row.rule, Host());
    ASSERT_TRUE(Controller.TimerPending) << "row " << n;
    EXPECT_TRUE(Posted().empty()) << "row " << n;
    host.SetLength(row.length_at_expiry);
    ASSERT_TRUE(host.WaitForCommands(1, 5000)) << "row " << n;
    EXPECT_EQ(Commands({row.posted}), host.Commands()) << "row " << n;
    EXPECT_EQ(DoNothing, Controller.PendingAction) << "row " << n;
  }

  // Without a delay a rule's own Stop leaves a paused stream alone.
  host.ClearRecords();
  host.SetLength(-1);
  ApplyRule(Rule(Stop, 0), Host());
  EXPECT_TRUE(Posted().empty());
}

TEST_F(EngineTest, LatestEventCancelsAPendingReaction) {
  host.SetPlayState(proto::Playing);
  Controller.PausedByPlugin = true;
  ApplyRule(Rule(Pause, 1), Host());
  ASSERT_TRUE(Controller.TimerPending);

  ApplyRule(Rule(PlayOrResume, 0), Host());

  EXPECT_FALSE(Controller.TimerPending);
  EXPECT_FALSE(TakeTimer(DelayTimer)) << "the cancelled pause could still fire";
  EXPECT_TRUE(Posted().empty());
  EXPECT_FALSE(Controller.PausedByPlugin);
}

TEST_F(EngineTest, ActionsWithoutDelayRunAtOnceAndStillCancel) {
  const std::pair<int32_t, Commands> rows[] = {
      {StopAfterCurrent, {proto::StopAfterCurrent}},
      {CloseHost, {standin::CloseCommand}},
      {DoNothing, {}},
  };
  host.SetPlayState(proto::Playing);
  for (const auto& row : rows) {
    host.ClearRecords();
    ApplyRule(Rule(Stop, 1), Host());
    ApplyRule(Rule(row.first, 30), Host());
    EXPECT_EQ(row.second, Posted()) << "action " << row.first;
    EXPECT_FALSE(Controller.TimerPending) << "action " << row.first;
    EXPECT_FALSE(TakeTimer(DelayTimer)) << "action " << row.first;
  }
}

TEST_F(EngineTest, DelayTimerWithNothingPendingOnlyStops) {
  SetTimer(Host(), DelayTimer, 1, nullptr);
  ASSERT_GE(SecondsUntilTimer(DelayTimer, 2000), 0);
  EXPECT_FALSE(TakeTimer(DelayTimer)) << "the stray timer must be killed";
  EXPECT_TRUE(Posted().empty());
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Query));
}

TEST_F(EngineTest, ScreenSaverReactionWaitsTheGracePeriodForEveryAction) {
  for (int32_t action = Pause; action <= DoNothing; ++action) {
    Controller.ScreenSaverTriggered = true;
    Controller.GracePeriodSeconds = 6;
    EXPECT_TRUE(ArmReactionTimer(0, action, Host())) << "action " << action;
    EXPECT_EQ(action, Controller.PendingAction);
    EXPECT_FALSE(Controller.ScreenSaverTriggered);
    EXPECT_EQ(0, Controller.GracePeriodSeconds);
    EXPECT_FALSE(TakeTimer(DelayTimer)) << "action " << action;
    EXPECT_TRUE(TakeTimer(GraceTimer)) << "action " << action;
  }
  // A rule applied meanwhile cancels a grace timer as well.
  Controller.ScreenSaverTriggered = true;
  Controller.GracePeriodSeconds = 6;
  ApplyRule(Rule(Pause, 0), Host());
  ApplyRule(Rule(DoNothing, 0), Host());
  EXPECT_FALSE(TakeTimer(GraceTimer));
}

TEST_F(EngineTest, ScreenSaverReactionWaitsTheLargerOfDelayAndGracePeriod) {
  const std::pair<int32_t, int32_t> rows[] = {{2, 1}, {1, 2}};  // delay, grace period
  for (const auto& row : rows) {
    Controller.ScreenSaverTriggered = true;
    Controller.GracePeriodSeconds = row.second;
    ApplyRule(Rule(StopAfterCurrent, row.first), Host());
    const double waited = SecondsUntilTimer(GraceTimer, 10000);
    EXPECT_GE(waited, 1.9) << "delay " << row.first << ", grace " << row.second;
    TakeTimer(GraceTimer);
  }
}

TEST_F(EngineTest, ScreenSaverReactionWithNothingToWaitRunsAtOnce) {
  host.SetPlayState(proto::Playing);
  for (int32_t grace : {0, -1}) {
    host.ClearRecords();
    Controller.ScreenSaverTriggered = true;
    Controller.GracePeriodSeconds = grace;
    ApplyRule(Rule(Pause, 0), Host());
    EXPECT_EQ(Commands({proto::Pause}), Posted()) << "grace " << grace;
    EXPECT_FALSE(Controller.ScreenSaverTriggered);
    EXPECT_EQ(0, Controller.GracePeriodSeconds);
    EXPECT_FALSE(Controller.TimerPending);
  }
}

// A timer that cannot be set would leave the reaction pending forever.
TEST_F(EngineTest, TimerThatCannotBeSetIsNotReportedAsArmed) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, gone);
  DestroyWindow(gone);
  EXPECT_FALSE(ArmReactionTimer(5, Pause, gone));
  EXPECT_FALSE(Controller.TimerPending);
  EXPECT_EQ(DoNothing, Controller.PendingAction);
}

// Only the armed timer may run the pending action: a stray expiry of the other one (a
// WM_TIMER nobody armed) leaves the screen saver reaction waiting.
TEST_F(EngineTest, ExpiryOfTheOtherTimerLeavesThePendingReactionAlone) {
  host.SetPlayState(proto::Playing);
  Controller.ScreenSaverTriggered = true;
  Controller.GracePeriodSeconds = 30;
  ApplyRule(Rule(Pause, 0), Host());
  ASSERT_TRUE(ReactionTimerArmed(GraceTimer));
  SendMessageW(Host(), WM_TIMER, DelayTimer, 0);
  EXPECT_TRUE(Posted().empty());
  EXPECT_TRUE(Controller.TimerPending);
  EXPECT_TRUE(ReactionTimerArmed(GraceTimer));
  EXPECT_TRUE(TakeTimer(GraceTimer));
}

// A marker that never comes back (a subclass above ours that eats it) keeps the state the
// commands lead to only until a later marker comes back, or quit forgets it.
TEST_F(EngineTest, AMarkerThatNeverComesBackIsProvedByTheNextOrForgottenAtQuit) {
  host.SetSimulation(true);
  host.SetPlayState(proto::Playing);
  drop_markers = true;
  ExecuteAction(0, Host(), Pause, false);
  EXPECT_EQ(Commands{proto::Pause}, Posted());
  host.SetPlayState(proto::Playing);  // resumed where the plug-in cannot see it
  EXPECT_EQ(proto::Paused, QueryPlayingState(Host()));
  drop_markers = false;
  ExecuteAction(0, Host(), PlayOrResume, false);
  Posted();
  host.SetPlayState(proto::Paused);
  EXPECT_EQ(proto::Paused, QueryPlayingState(Host())) << "the later marker proves the earlier one";

  drop_markers = true;
  host.SetPlayState(proto::Playing);
  ExecuteAction(0, Host(), Pause, false);
  Posted();
  host.SetPlayState(proto::Playing);
  ForgetCommandsOnTheirWay();
  EXPECT_EQ(proto::Playing, QueryPlayingState(Host()));
}
