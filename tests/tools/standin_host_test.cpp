// The stand-in host must answer and record exactly what the plug-in relies on, or every
// test built on it would pass for the wrong reason.
#include "tests/common/test_support.h"

#include <wtsapi32.h>

using standin::HostEvent;
namespace proto = standin::proto;

namespace {

LRESULT Query(HWND host, WPARAM wParam, LPARAM selector) { return SendMessageW(host, WM_USER, wParam, selector); }

}  // namespace

TEST_F(HostTest, WindowHasThePlayersClass) {
  wchar_t name[64] = {};
  GetClassNameW(host.Window(), name, 64);
  EXPECT_STREQ(L"Winamp v1.x", name);
  EXPECT_TRUE(IsWindowUnicode(host.Window()));
  EXPECT_EQ(host.Window(), FindWindowW(L"Winamp v1.x", nullptr));
}

TEST_F(HostTest, AnswersPlayingStateAndLength) {
  for (int state : {proto::Stopped, proto::Playing, proto::Paused}) {
    host.SetPlayState(state);
    EXPECT_EQ(state, Query(host.Window(), 0, proto::QueryPlayingState));
  }
  host.SetLength(215);
  EXPECT_EQ(215, Query(host.Window(), 1, proto::QueryLength));
  host.SetLength(-1);
  EXPECT_EQ(-1, Query(host.Window(), 1, proto::QueryLength));
  EXPECT_EQ(2u, host.CountQueries(proto::QueryLength));
  EXPECT_EQ(3u, host.CountQueries(proto::QueryPlayingState));
}

TEST_F(HostTest, AnswersIniPathAsAnsiOrNull) {
  host.SetIniPath("C:\\Programme\\Winamp\\winamp.ini");
  auto* path = reinterpret_cast<const char*>(Query(host.Window(), 0, proto::QueryIniPath));
  ASSERT_NE(nullptr, path);
  EXPECT_STREQ("C:\\Programme\\Winamp\\winamp.ini", path);
  EXPECT_STREQ(L"C:\\Programme\\Winamp\\winamp.ini",
               reinterpret_cast<const wchar_t*>(Query(host.Window(), 0, proto::QueryIniPathWide)));

  // The player's own path is wide; its ANSI copy loses what the code page lacks.
  host.SetWideIniPath(L"C:\\Users\\\u0416\\winamp.ini");
  EXPECT_STREQ(L"C:\\Users\\\u0416\\winamp.ini",
               reinterpret_cast<const wchar_t*>(Query(host.Window(), 0, proto::QueryIniPathWide)));
  EXPECT_STREQ("C:\\Users\\?\\winamp.ini", reinterpret_cast<const char*>(Query(host.Window(), 0, proto::QueryIniPath)));
  host.SetIniPathAnswerNull(true);
  EXPECT_EQ(0, Query(host.Window(), 0, proto::QueryIniPath));
  EXPECT_EQ(0, Query(host.Window(), 0, proto::QueryIniPathWide));
}

TEST_F(HostTest, AnswersDialogParentPlaylistAndOneToWhatItDoesNotKnow) {
  EXPECT_EQ(0, Query(host.Window(), 0, proto::QueryDialogParent));
  EXPECT_EQ(standin::DefaultPlaylistLength, Query(host.Window(), 0, proto::QueryPlaylistLength));
  EXPECT_EQ(1, Query(host.Window(), 0, 4242));
  EXPECT_EQ(1, Query(host.Window(), 0, proto::QueryStopAfterCurrent)) << "1: not armed";
  host.SetOldHost(true);
  host.SetStopAfterCurrentArmed(true);
  EXPECT_EQ(1, Query(host.Window(), 0, proto::QueryStopAfterCurrent)) << "an older player does not know it";
  EXPECT_EQ(1, Query(host.Window(), 0, proto::QueryIniPathWide));
  host.SetDialogParentAnswer(reinterpret_cast<LRESULT>(host.Window()));
  EXPECT_EQ(reinterpret_cast<LRESULT>(host.Window()), Query(host.Window(), 0, proto::QueryDialogParent));
}

TEST_F(HostTest, AssignsOneSelectorPerNameLikeThePlayer) {
  LRESULT a = Query(host.Window(), reinterpret_cast<WPARAM>("gen_corvane_screensaver"), proto::QueryRegisterMessage);
  LRESULT b = Query(host.Window(), reinterpret_cast<WPARAM>("another_name"), proto::QueryRegisterMessage);
  LRESULT again =
      Query(host.Window(), reinterpret_cast<WPARAM>("Gen_Corvane_ScreenSaver"), proto::QueryRegisterMessage);
  EXPECT_EQ(65537, a);
  EXPECT_EQ(65538, b);
  EXPECT_EQ(a, again) << "the player compares names without regard to case";
  // The player reads the name as ANSI: a wide one reads as its first letter.
  LRESULT wide = Query(host.Window(), reinterpret_cast<WPARAM>(L"gamma"), proto::QueryRegisterMessage);
  EXPECT_EQ(65539, wide);
  EXPECT_EQ(wide, Query(host.Window(), reinterpret_cast<WPARAM>("g"), proto::QueryRegisterMessage));

  for (LRESULT none : {0, 1}) {
    host.SetMessageSelectorAnswer(none);
    EXPECT_EQ(none, Query(host.Window(), reinterpret_cast<WPARAM>(L"x"), proto::QueryRegisterMessage));
  }
}

TEST_F(HostTest, RecordsPostedCommandsAndCloseInOrder) {
  PostMessageW(host.Window(), WM_COMMAND, proto::Stop, 0);
  PostMessageW(host.Window(), WM_COMMAND, proto::NextTrack, 0);
  PostMessageW(host.Window(), WM_CLOSE, 0, 0);
  PostMessageW(host.Window(), WM_COMMAND, proto::Play, 0);
  ASSERT_TRUE(host.WaitForCommands(4, 2000));
  EXPECT_EQ((std::vector<unsigned>{40047, 40048, standin::CloseCommand, 40045}), host.Commands());
  EXPECT_TRUE(IsWindow(host.Window())) << "WM_CLOSE is only recorded unless asked otherwise";
}

TEST_F(HostTest, CloseDestroysTheWindowWhenAsked) {
  host.SetCloseDestroysWindow(true);
  HWND window = host.Window();
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.PumpUntil([&] { return !IsWindow(window); }, 2000));
  EXPECT_EQ(nullptr, host.Window());
}

// The player's notion of playing stays set while paused: stop-after-current toggles then too,
// every start of a track switches it off, and a manual stop leaves it as it is.
TEST_F(HostTest, SimulatesThePlayersCommands) {
  host.SetSimulation(true);
  const int Playing = proto::Playing, Paused = proto::Paused, Stopped = proto::Stopped;
  struct Step {
    WPARAM command;
    int before;
    bool armed_before;
    int after;
    bool armed_after;
    int track_moves;
  } steps[] = {
      {proto::Pause, Playing, true, Paused, true, 0},
      {proto::Pause, Paused, true, Playing, true, 0},
      {proto::Pause, Stopped, true, Stopped, true, 0},
      {proto::Play, Paused, true, Playing, true, 0},    // resumes only
      {proto::Play, Playing, true, Playing, false, 0},  // restarts the track
      {proto::Play, Stopped, true, Playing, false, 0},
      {proto::Stop, Playing, true, Stopped, true, 0},
      {proto::StopWithFade, Playing, true, Stopped, true, 0},
      {proto::StopAfterCurrent, Playing, false, Playing, true, 0},
      {proto::StopAfterCurrent, Paused, false, Paused, true, 0},
      {proto::StopAfterCurrent, Paused, true, Paused, false, 0},
      {proto::StopAfterCurrent, Stopped, false, Stopped, false, 0},
      {proto::NextTrack, Paused, true, Playing, false, 1},
      {proto::NextTrack, Stopped, true, Stopped, true, 1},  // only moves the position
      {proto::PreviousTrack, Playing, true, Playing, false, -1},
  };
  for (const Step& s : steps) {
    host.SetPlayState(s.before);
    host.SetStopAfterCurrentArmed(s.armed_before);
    const int track = host.TrackNumber();
    SendMessageW(host.Window(), WM_COMMAND, s.command, 0);
    EXPECT_EQ(s.after, host.PlayState()) << "command " << s.command << " from state " << s.before;
    EXPECT_EQ(s.armed_after, host.StopAfterCurrentArmed()) << "command " << s.command << " from state " << s.before;
    EXPECT_EQ(track + s.track_moves, host.TrackNumber()) << "command " << s.command << " from state " << s.before;
  }
  host.SetPlayState(Stopped);
  host.SetPlaylistLength(0);
  SendMessageW(host.Window(), WM_COMMAND, proto::Play, 0);
  EXPECT_EQ(Stopped, host.PlayState());
  EXPECT_EQ(1, host.FileDialogsOpened()) << "play on an empty playlist opens the file dialog";
}

TEST_F(HostTest, RecordsSessionChangesTimersAndRegisteredMessages) {
  UINT registered = RegisterWindowMessageW(L"quillary_test_message");
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  SendMessageW(host.Window(), WM_TIMER, 777, 0);
  SendMessageW(host.Window(), registered, 0, 0);
  EXPECT_EQ(1u, host.CountEvents(HostEvent::Kind::SessionChange));
  EXPECT_EQ(1u, host.CountEvents(HostEvent::Kind::Timer));
  EXPECT_EQ(1u, host.CountEvents(HostEvent::Kind::Registered));
  EXPECT_EQ(static_cast<WPARAM>(WTS_SESSION_LOCK), host.Events()[0].wParam);
}

TEST_F(HostTest, ScheduledTasksRunInOrderAndPumpingIsBounded) {
  std::vector<int> order;
  host.After(60, [&] { order.push_back(2); });
  host.After(20, [&] { order.push_back(1); });
  EXPECT_TRUE(host.PumpUntil([&] { return order.size() == 2; }, 2000));
  EXPECT_EQ((std::vector<int>{1, 2}), order);
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Timer)) << "the host's own tasks are not recorded";

  double start = host.Now();
  EXPECT_FALSE(host.PumpUntil([] { return false; }, 100));
  double waited = host.Now() - start;
  EXPECT_GE(waited, 0.09);
  EXPECT_LT(waited, 1.0);
}

TEST_F(HostTest, MessageHandlerAnswersOtherMessages) {
  host.SetMessageHandler([](UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_APP + 5) return false;
    *result = 4242;
    return true;
  });
  EXPECT_EQ(4242, SendMessageW(host.Window(), WM_APP + 5, 0, 0));
}

TEST_F(HostTest, StreamSwitchKeepsTheTracksLength) {
  host.SetLength(180);
  host.SetStream(true);
  EXPECT_TRUE(host.IsStream());
  EXPECT_EQ(-1, Query(host.Window(), 1, proto::QueryLength));
  host.SetStream(true);  // twice must not lose the track's length
  host.SetStream(false);
  EXPECT_FALSE(host.IsStream());
  EXPECT_EQ(180, Query(host.Window(), 1, proto::QueryLength));
}

TEST_F(HostTest, TrackEndGoesOnOrStopsWhenAskedTo) {
  host.SetSimulation(true);
  host.SetPlayState(proto::Playing);
  int track = host.TrackNumber();
  host.EndOfTrack();
  EXPECT_EQ(track + 1, host.TrackNumber());
  EXPECT_EQ(proto::Playing, host.PlayState());

  SendMessageW(host.Window(), WM_COMMAND, proto::StopAfterCurrent, 0);
  host.EndOfTrack();
  EXPECT_EQ(proto::Stopped, host.PlayState());
  EXPECT_FALSE(host.StopAfterCurrentArmed()) << "the mode is used up by the stop";
  EXPECT_EQ(track + 1, host.TrackNumber());

  host.SetPlayState(proto::Paused);
  host.EndOfTrack();
  EXPECT_EQ(proto::Paused, host.PlayState()) << "a paused track does not end";
}

TEST_F(HostTest, ObserverSeesTheStateACommandLedTo) {
  host.SetSimulation(true);
  host.SetPlayState(proto::Playing);
  std::vector<int> seen;
  host.SetObserver([&](const HostEvent& e) {
    if (e.kind == HostEvent::Kind::Command) seen.push_back(host.PlayState());
  });
  SendMessageW(host.Window(), WM_COMMAND, proto::Pause, 0);
  SendMessageW(host.Window(), WM_COMMAND, proto::Play, 0);
  EXPECT_EQ((std::vector<int>{proto::Paused, proto::Playing}), seen);
}

TEST_F(HostTest, CancelledTaskNeverRuns) {
  bool cancelled_ran = false, other_ran = false;
  UINT_PTR task = host.After(20, [&] { cancelled_ran = true; });
  host.After(40, [&] { other_ran = true; });
  host.Cancel(task);
  EXPECT_TRUE(host.PumpUntil([&] { return other_ran; }, 2000));
  host.PumpFor(30);
  EXPECT_FALSE(cancelled_ran);
}

TEST(HostNames, NameTheCommandsAndStates) {
  EXPECT_STREQ(L"pause", standin::CommandName(proto::Pause));
  EXPECT_STREQ(L"stop-after-current", standin::CommandName(proto::StopAfterCurrent));
  EXPECT_STREQ(L"close", standin::CommandName(standin::CloseCommand));
  EXPECT_STREQ(L"", standin::CommandName(12345));
  EXPECT_STREQ(L"paused", standin::PlayStateName(proto::Paused));
  EXPECT_STREQ(L"stopped", standin::PlayStateName(7)) << "the plug-in takes any other state as stopped";
}
