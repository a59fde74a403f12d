// The shipped DLL against what players do differently: stop-after-current, which toggles and
// which only players from 5.58 on report; players without the path queries; a host whose
// own procedure is slow for a message, so that commands are still on their way.
#include "tests/common/test_support.h"

#include <wtsapi32.h>

#include <initializer_list>

using standin::StandInHost;
using testing_support::PluginDllPath;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Commands = std::vector<unsigned>;
namespace proto = standin::proto;

namespace {

class PlayerVariantTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ini = folder.File(L"winamp.ini");
    host.SetIniPath(testing_support::ToAnsi(ini));
    host.SetSimulation(true);
  }
  // The rules given (the watch stays off), then the player's load and init.
  void Start(const std::string& rules) {
    ASSERT_TRUE(WriteFileBytes(ini, "[gen_corvane]\r\nlock_on_screensaver=0\r\n" + rules));
    host.SetPlayState(proto::Playing);  // a track of its own, which nobody has armed yet
    host.SetStopAfterCurrentArmed(false);
    ASSERT_TRUE(plugin.Load(PluginDllPath())) << plugin.Error();
    ASSERT_EQ(0, plugin.Init(host.Window()));
  }
  void Stop() {
    plugin.Quit();
    plugin.Unload();
  }
  // Session changes as Windows queues them, back to back, and the commands they led to.
  Commands Session(std::initializer_list<WPARAM> codes) {
    host.ClearRecords();
    std::vector<StandInHost::Notification> notifications;
    for (WPARAM code : codes) notifications.push_back(StandInHost::SessionChange(code));
    host.PostBackToBack(notifications, 100);
    return host.Commands();
  }
  // The user's own click in the player: it passes the plug-in's subclass like any command.
  void UserCommand(WPARAM command) { SendMessageW(host.Window(), WM_COMMAND, command, 0); }

  testing_support::TempFolder folder;
  std::wstring ini;
  standin::PluginLoader plugin;
};

const unsigned Play = proto::Play;
const unsigned Pause = proto::Pause;
const unsigned StopAfter = proto::StopAfterCurrent;

}  // namespace

// 40157 toggles while a track is loaded, playing or paused, and every start of a track
// switches it off. A second trigger during the track must not post it again; what the user
// armed is theirs; what the plug-in armed it takes back, once, when the user is back while the
// track goes on. An older player cannot say: the toggles and starts seen at its window count.
TEST_F(PlayerVariantTest, StopAfterTheTrackIsArmedOnceAndOnlyItsOwnIsTakenBack) {
  for (bool old_host : {false, true}) {
    SCOPED_TRACE(old_host ? "player before 5.58" : "player from 5.58 on");
    host.SetOldHost(old_host);
    Start("lock_action=4\r\nlogin_action=4\r\nunlock_action=5\r\nunlock_delay=0\r\n");
    EXPECT_EQ(Commands{StopAfter}, Session({WTS_SESSION_LOCK, WTS_CONSOLE_DISCONNECT}));
    host.EndOfTrack();
    EXPECT_EQ(proto::Stopped, host.PlayState()) << "the playlist played on";
    EXPECT_EQ(Commands{Play}, Session({WTS_CONSOLE_CONNECT, WTS_SESSION_UNLOCK})) << "it stopped, so it plays";
    EXPECT_EQ(Commands{StopAfter}, Session({WTS_SESSION_LOCK}));
    EXPECT_EQ(Commands{StopAfter}, Session({WTS_SESSION_UNLOCK})) << "back while the track plays on";
    EXPECT_FALSE(host.StopAfterCurrentArmed());
    EXPECT_EQ(0, host.Restarts());
    // The user takes it back by hand, and the playlist goes on: the next track is armed anew.
    Session({WTS_SESSION_LOCK});
    UserCommand(StopAfter);
    host.EndOfTrack();
    EXPECT_EQ(Commands{StopAfter}, Session({WTS_SESSION_LOCK}));
    EXPECT_TRUE(host.StopAfterCurrentArmed());
    // The user's own arming, playing or paused, and resumed with play: theirs, left alone.
    for (bool arm_while_paused : {false, true}) {
      UserCommand(StopAfter);
      ASSERT_FALSE(host.StopAfterCurrentArmed());
      if (!arm_while_paused) UserCommand(StopAfter);
      UserCommand(Pause);
      if (arm_while_paused) UserCommand(StopAfter);
      UserCommand(Play);
      EXPECT_EQ(Commands{}, Session({WTS_SESSION_LOCK})) << "armed while paused: " << arm_while_paused;
      EXPECT_TRUE(host.StopAfterCurrentArmed());
    }
    // The user's own next track starts one, which nobody has armed; after the user's own stop
    // only a start can load a track, also one the plug-in does not see (from the playlist).
    UserCommand(proto::NextTrack);
    EXPECT_EQ(Commands{StopAfter}, Session({WTS_SESSION_LOCK}));
    UserCommand(proto::Stop);
    host.SetPlayState(proto::Playing);
    host.SetStopAfterCurrentArmed(false);
    EXPECT_EQ(Commands{StopAfter}, Session({WTS_SESSION_LOCK}));
    // Switched off where the plug-in cannot see it: from 5.58 on the player says so.
    host.SetStopAfterCurrentArmed(false);
    EXPECT_EQ(old_host ? Commands{} : Commands{StopAfter}, Session({WTS_SESSION_LOCK}));
    Stop();

    // A later rule pauses, stops or fades: the take-back goes to the paused track before play
    // resumes it; a start (next track, or play after a stop) switches it off by itself.
    const struct {
      const char* rules;
      Commands away, back;
      int moves;
    } later[] = {
        {"login_action=1\r\nunlock_action=5\r\n", {StopAfter, Pause}, {StopAfter, Play}, 0},
        {"login_action=1\r\nunlock_action=6\r\n", {StopAfter, Pause}, {proto::Stop, proto::NextTrack, Play}, 1},
        {"login_action=2\r\nunlock_action=5\r\n", {StopAfter, proto::Stop}, {Play}, 0},
        {"login_action=3\r\nunlock_action=5\r\n", {StopAfter, proto::StopWithFade}, {Play}, 0},
    };
    for (const auto& l : later) {
      Start(std::string("lock_action=4\r\nunlock_delay=0\r\n") + l.rules);
      EXPECT_EQ(l.away, Session({WTS_SESSION_LOCK, WTS_CONSOLE_DISCONNECT})) << l.rules;
      const int track = host.TrackNumber();
      EXPECT_EQ(l.back, Session({WTS_CONSOLE_CONNECT})) << l.rules;
      EXPECT_FALSE(host.StopAfterCurrentArmed()) << l.rules;
      EXPECT_EQ(track + l.moves, host.TrackNumber()) << l.rules;
      Stop();
    }

    // What the user arms is theirs, also where the player cannot say; what the user takes
    // back while the unlock waits stays taken back.
    Start("lock_action=4\r\nunlock_action=5\r\nunlock_delay=1\r\n");
    UserCommand(StopAfter);
    EXPECT_EQ(Commands{}, Session({WTS_SESSION_LOCK})) << "the user's own";
    Session({WTS_SESSION_UNLOCK});
    host.PumpFor(1100);
    EXPECT_TRUE(host.StopAfterCurrentArmed());
    UserCommand(StopAfter);
    EXPECT_EQ(Commands{StopAfter}, Session({WTS_SESSION_LOCK}));
    Session({WTS_SESSION_UNLOCK});
    UserCommand(StopAfter);
    host.ClearRecords();
    host.PumpFor(1100);
    EXPECT_EQ(Commands{}, host.Commands()) << "the user took it back already";
    EXPECT_FALSE(host.StopAfterCurrentArmed());
    // The user's arming stops its track, which is started again and ends, unseen: what the
    // user arms for the next track is theirs too.
    UserCommand(StopAfter);
    host.EndOfTrack();
    host.SetPlayState(proto::Playing);
    host.EndOfTrack();
    UserCommand(StopAfter);
    EXPECT_EQ(Commands{}, Session({WTS_SESSION_LOCK})) << "armed again, by the user";
    EXPECT_TRUE(host.StopAfterCurrentArmed());
    Stop();
  }
}

// Play on a stopped player with an empty playlist opens the player's file dialog: play and
// next track post nothing then.
TEST_F(PlayerVariantTest, NothingIsStartedFromAnEmptyPlaylist) {
  for (const char* unlock : {"unlock_action=5\r\n", "unlock_action=6\r\n"}) {
    Start(std::string("unlock_delay=0\r\nplay_only_when_paused_or_stopped=0\r\n") + unlock);
    host.SetPlayState(proto::Stopped);
    host.SetPlaylistLength(0);
    EXPECT_EQ(Commands{}, Session({WTS_SESSION_UNLOCK})) << unlock;
    host.SetPlaylistLength(1);
    EXPECT_FALSE(Session({WTS_SESSION_UNLOCK}).empty()) << unlock;
    EXPECT_EQ(0, host.FileDialogsOpened());
    Stop();
  }
}

// A player before 2.90 answers 1 to the path queries, which is no pointer: the defaults
// apply, nothing is written, and OK in the options dialog says that no file was named.
TEST_F(PlayerVariantTest, PlayerWithoutThePathQueriesRunsOnTheDefaults) {
  host.SetWithoutPathQueries(true);
  Start("lock_action=2\r\n");
  EXPECT_EQ(Commands{Pause}, Session({WTS_SESSION_LOCK})) << "the stored stop is not read";

  std::wstring box;
  host.After(1, [&] {
    HWND dialog = FindWindowW(L"#32770", L"\"Quillary\" - Einstellungen");
    ASSERT_NE(nullptr, dialog);
    host.After(1, [&] {
      HWND popup = FindWindowW(L"#32770", L"Quillary");
      wchar_t text[256] = {};
      GetDlgItemTextW(popup, 0xFFFF, text, 256);
      box = text;
      PostMessageW(popup, WM_COMMAND, IDOK, 0);
    });
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  plugin.Config();
  EXPECT_EQ(
      L"Die Einstellungen konnten nicht gespeichert werden.\r\nWinamp hat dem Plug-in keine Konfigurationsdatei "
      L"genannt.",
      box);
  EXPECT_EQ("[gen_corvane]\r\nlock_on_screensaver=0\r\nlock_action=2\r\n", ReadFileBytes(ini));
  EXPECT_EQ(0u, GetProfileIntW(L"gen_corvane", L"lock_action", 0)) << "nor into win.ini";
  Stop();
}

// The host's own procedure takes 1.5 s for the lock (a slow machine right after resume), and
// the disconnect queued behind it finds the pause still on its way: a second pause would
// un-pause. Once the host has handled it, the host's own state counts again, also after quit
// and where another subclass above ours handles the command itself.
TEST_F(PlayerVariantTest, ACommandCountsUntilTheHostHasHandledIt) {
  Start("lock_action=1\r\nlogin_action=1\r\nunlock_action=8\r\n");
  host.SetMessageHandler([slow = true](UINT message, WPARAM code, LPARAM, LRESULT*) mutable {
    if (message == WM_WTSSESSION_CHANGE && code == WTS_SESSION_LOCK && slow) {
      slow = false;
      Sleep(1500);
    }
    return false;
  });
  EXPECT_EQ(Commands{Pause}, Session({WTS_SESSION_LOCK, WTS_CONSOLE_DISCONNECT}));
  EXPECT_EQ(proto::Paused, host.PlayState());

  // The user resumes by hand and locks again: the lock reads the host's real state.
  Session({WTS_CONSOLE_CONNECT});
  UserCommand(Play);
  EXPECT_EQ(Commands{Pause}, Session({WTS_SESSION_LOCK}));

  // Quit with the pause still queued; the host handles it without the plug-in. After a
  // second init (the DLL stayed mapped) the host's state counts, not the pause of before.
  UserCommand(Play);
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  plugin.Quit();
  host.PumpFor(50);
  UserCommand(Play);
  ASSERT_EQ(0, plugin.Init(host.Window()));
  EXPECT_EQ(Commands{Pause}, Session({WTS_SESSION_LOCK}));

  // Another subclass above ours carries pause out itself, so none passes ours: the marker
  // comes back all the same, and the next lock reads the host's real state.
  static WNDPROC below = nullptr;
  struct Above {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
      const bool pause = message == WM_COMMAND && LOWORD(wParam) == proto::Pause;
      auto own = reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC));
      return CallWindowProcW(pause ? own : below, window, message, wParam, lParam);
    }
  };
  below = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(host.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Above::Proc)));
  UserCommand(Play);
  EXPECT_EQ(Commands{Pause}, Session({WTS_SESSION_LOCK}));
  UserCommand(Pause);
  ASSERT_EQ(proto::Playing, host.PlayState());
  EXPECT_EQ(Commands{Pause}, Session({WTS_SESSION_LOCK})) << "the pause before is long handled";
  SetWindowLongPtrW(host.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(below));
  Stop();
}
