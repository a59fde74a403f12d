// The options dialog as the user meets it, driven from inside its modal loop.
#include "tests/ui/ui_test_support.h"

#include <commctrl.h>
#include <oleacc.h>

#include "ui/resource.h"

using namespace ui_testing;

namespace {

const wchar_t* const Nothing = L"Nichts tun";

struct RuleIds {
  int list, field, updown, delay_label, unit_label;
};
const RuleIds Lock = {IDC_LOCK_ACTION, IDE_LOCK_DELAY, IDU_LOCK_DELAY, IDT_LOCK_DELAY, IDT_LOCK_UNIT};
const RuleIds Login = {IDC_LOGIN_ACTION, IDE_LOGIN_DELAY, IDU_LOGIN_DELAY, IDT_LOGIN_DELAY, IDT_LOGIN_UNIT};
const RuleIds Unlock = {IDC_UNLOCK_ACTION, IDE_UNLOCK_DELAY, IDU_UNLOCK_DELAY, IDT_UNLOCK_DELAY, IDT_UNLOCK_UNIT};

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetAllOptions(ReactionSettings& s, bool value) {
  s.play_only_when_paused_or_stopped = s.always_stop_streams = s.lock_on_screensaver = value;
}

}  // namespace

TEST_F(OptionsDialogTest, ListsOfferEachRuleItsActionsInOrder) {
  RunDialog([](COptionsDlg&, HWND dialog) {
    const struct {
      int list;
      std::vector<std::pair<std::wstring, LRESULT>> items;
    } expected[] = {
        {IDC_LOCK_ACTION,
         {{Nothing, 8},
          {L"Pause", 1},
          {L"Stopp", 2},
          {L"Stopp mit Ausblenden", 3},
          {L"Stopp nach aktuellem Titel", 4}}},
        {IDC_UNLOCK_ACTION,
         {{Nothing, 8}, {L"Wiedergabe starten/fortsetzen", 5}, {L"N\u00e4chsten Titel wiedergeben", 6}}},
        {IDC_LOGIN_ACTION,
         {{Nothing, 8},
          {L"Pause", 1},
          {L"Stopp", 2},
          {L"Stopp mit Ausblenden", 3},
          {L"Stopp nach aktuellem Titel", 4},
          {L"Winamp beenden", 7}}},
    };
    for (const auto& e : expected) {
      std::vector<std::pair<std::wstring, LRESULT>> shown;
      for (const ListItem& item : ListItems(dialog, e.list)) shown.emplace_back(item.text, item.code);
      EXPECT_EQ(e.items, shown) << "list " << e.list;
    }
    Click(dialog, IDCANCEL);
  });
}

TEST_F(OptionsDialogTest, ShowsTheStoredSettings) {
  live.lock.SetAction(StopWithFade);
  live.lock.SetDelay(12);
  live.unlock.SetAction(PlayNext);
  live.unlock.SetDelay(60);
  live.login.SetAction(CloseHost);
  live.login.SetDelay(3);
  live.always_stop_streams = false;
  RunDialog([](COptionsDlg&, HWND dialog) {
    EXPECT_EQ(L"Stopp mit Ausblenden", SelectedText(dialog, IDC_LOCK_ACTION));
    EXPECT_EQ(L"N\u00e4chsten Titel wiedergeben", SelectedText(dialog, IDC_UNLOCK_ACTION));
    EXPECT_EQ(L"Winamp beenden", SelectedText(dialog, IDC_LOGIN_ACTION));
    EXPECT_EQ(L"12", ItemText(dialog, IDE_LOCK_DELAY));
    EXPECT_EQ(L"60", ItemText(dialog, IDE_UNLOCK_DELAY));
    EXPECT_EQ(L"3", ItemText(dialog, IDE_LOGIN_DELAY));
    EXPECT_TRUE(Checked(dialog, IDX_PLAY_ONLY_WHEN_PAUSED));
    EXPECT_FALSE(Checked(dialog, IDX_ALWAYS_STOP_STREAMS));
    EXPECT_TRUE(Checked(dialog, IDX_LOCK_ON_SCREENSAVER));
    Click(dialog, IDCANCEL);
  });
}

// Actions 4, 7 and 8 never wait, so their rule's delay controls are greyed; the value stays
// in the field and OK stores it all the same.
TEST_F(OptionsDialogTest, DelayControlsFollowWhetherTheActionWaits) {
  RunDialog([](COptionsDlg&, HWND dialog) {
    const struct {
      const RuleIds& rule;
      int32_t code;
      bool waits;
    } cases[] = {
        {Lock, DoNothing, false},
        {Lock, Pause, true},
        {Lock, Stop, true},
        {Lock, StopWithFade, true},
        {Lock, StopAfterCurrent, false},
        {Unlock, DoNothing, false},
        {Unlock, PlayOrResume, true},
        {Unlock, PlayNext, true},
        {Login, Pause, true},
        {Login, CloseHost, false},
        {Login, StopAfterCurrent, false},
    };
    for (const auto& c : cases) {
      Choose(dialog, c.rule.list, c.code);
      for (int id : {c.rule.field, c.rule.updown, c.rule.delay_label, c.rule.unit_label}) {
        EXPECT_EQ(c.waits, Enabled(dialog, id)) << "control " << id << " with action " << c.code;
      }
    }
    Type(dialog, IDE_LOCK_DELAY, L"7");
    Choose(dialog, IDC_LOCK_ACTION, StopAfterCurrent);
    EXPECT_EQ(L"7", ItemText(dialog, IDE_LOCK_DELAY));
    Click(dialog, IDOK);
  });
  EXPECT_EQ(StopAfterCurrent, live.lock.action);
  EXPECT_EQ(7, live.lock.delay);
}

// 1029 matters only when some rule starts playback, 1030 only when some rule pauses; a
// greyed box keeps its mark and OK stores it.
TEST_F(OptionsDialogTest, OptionBoxesFollowThePauseAndPlayChoices) {
  RunDialog([](COptionsDlg&, HWND dialog) {
    const struct {
      int32_t lock, unlock, login;
      bool play_only_enabled, stop_streams_enabled;
    } cases[] = {
        {Pause, PlayOrResume, DoNothing, true, true},       {Stop, DoNothing, DoNothing, false, false},
        {DoNothing, PlayNext, DoNothing, true, false},      {DoNothing, DoNothing, Pause, false, true},
        {StopWithFade, DoNothing, CloseHost, false, false},
    };
    for (const auto& c : cases) {
      Choose(dialog, IDC_LOCK_ACTION, c.lock);
      Choose(dialog, IDC_UNLOCK_ACTION, c.unlock);
      Choose(dialog, IDC_LOGIN_ACTION, c.login);
      EXPECT_EQ(c.play_only_enabled, Enabled(dialog, IDX_PLAY_ONLY_WHEN_PAUSED)) << c.lock << c.unlock << c.login;
      EXPECT_EQ(c.stop_streams_enabled, Enabled(dialog, IDX_ALWAYS_STOP_STREAMS)) << c.lock << c.unlock << c.login;
    }
    EXPECT_TRUE(Enabled(dialog, IDX_LOCK_ON_SCREENSAVER));
    // Both boxes are greyed now (last case); one keeps its mark, the other was cleared before.
    CheckDlgButton(dialog, IDX_PLAY_ONLY_WHEN_PAUSED, BST_UNCHECKED);
    Click(dialog, IDOK);
  });
  EXPECT_FALSE(live.play_only_when_paused_or_stopped);
  EXPECT_TRUE(live.always_stop_streams);
}

// Hand-edited INI files can hold any action for any rule; the lists show what they do not
// offer as "Nichts tun", and OK then stores exactly that.
TEST_F(OptionsDialogTest, ActionsAListDoesNotOfferShowAndStoreAsNothing) {
  const struct {
    int32_t lock, unlock, login;
  } cases[] = {{PlayOrResume, Pause, PlayOrResume},
               {PlayNext, Stop, PlayNext},
               {CloseHost, StopWithFade, PlayOrResume},
               {CloseHost, StopAfterCurrent, PlayNext},
               {PlayNext, CloseHost, PlayOrResume}};
  for (const auto& c : cases) {
    live.lock.SetAction(c.lock);
    live.unlock.SetAction(c.unlock);
    live.login.SetAction(c.login);
    RunDialog([](COptionsDlg&, HWND dialog) {
      for (int list : {IDC_LOCK_ACTION, IDC_UNLOCK_ACTION, IDC_LOGIN_ACTION}) {
        EXPECT_EQ(Nothing, SelectedText(dialog, list)) << "list " << list;
      }
      Click(dialog, IDOK);
    });
    EXPECT_EQ(DoNothing, live.lock.action) << c.lock;
    EXPECT_EQ(DoNothing, live.unlock.action) << c.unlock;
    EXPECT_EQ(DoNothing, live.login.action) << c.login;
  }
}

TEST_F(OptionsDialogTest, EmptiedFieldStoresZeroAtOk) {
  live.unlock.SetDelay(45);
  RunDialog([](COptionsDlg&, HWND dialog) {
    Type(dialog, IDE_UNLOCK_DELAY, L"");
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(0, live.unlock.delay);
}

TEST_F(OptionsDialogTest, UpDownArrowsWrapBetweenZeroAndSixty) {
  RunDialog([](COptionsDlg&, HWND dialog) {
    for (const RuleIds* rule : {&Lock, &Login, &Unlock}) {
      HWND field = GetDlgItem(dialog, rule->field);
      EXPECT_EQ(2, SendMessageW(field, EM_GETLIMITTEXT, 0, 0));
      SetDlgItemInt(dialog, rule->field, 60, FALSE);
      SendMessageW(field, WM_KEYDOWN, VK_UP, 0);
      EXPECT_EQ(L"0", ItemText(dialog, rule->field)) << "up from 60, field " << rule->field;
      SendMessageW(field, WM_KEYDOWN, VK_DOWN, 0);
      EXPECT_EQ(L"60", ItemText(dialog, rule->field)) << "down from 0, field " << rule->field;
    }
    Click(dialog, IDCANCEL);
  });
}

namespace {

// What OK writes for lock Stop after 9 s, lock_on_screensaver cleared, the rest defaults.
void ExpectNineKeys(const std::wstring& ini) {
  const struct {
    const wchar_t* key;
    int value;
  } written[] = {{L"lock_action", 2},
                 {L"lock_delay", 9},
                 {L"unlock_action", 5},
                 {L"unlock_delay", 2},
                 {L"login_action", 8},
                 {L"login_delay", 0},
                 {L"play_only_when_paused_or_stopped", 1},
                 {L"always_stop_streams", 1},
                 {L"lock_on_screensaver", 0}};
  for (const auto& w : written) {
    EXPECT_EQ(w.value, static_cast<int>(GetPrivateProfileIntW(L"gen_corvane", w.key, -7, ini.c_str()))) << w.key;
  }
}

}  // namespace

// The file and the live settings change only at OK; every other way out leaves them as
// they were.
TEST_F(OptionsDialogTest, OnlyOkWritesTheFileAndReplacesTheLiveSettings) {
  const struct {
    const char* how;
    std::function<void(HWND)> end;
    int result;
  } endings[] = {
      {"OK", [](HWND d) { Click(d, IDOK); }, IDOK},
      {"Cancel", [](HWND d) { Click(d, IDCANCEL); }, IDCANCEL},
      {"Esc", [](HWND d) { PostMessageW(GetDlgItem(d, IDE_LOCK_DELAY), WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
      {"close box", [](HWND d) { SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
  };
  for (const auto& ending : endings) {
    DeleteFileW(ini.c_str());
    live = ReactionSettings();
    live.SetIniLocation(ini.c_str());
    const int result = RunDialog([&](COptionsDlg&, HWND dialog) {
      Choose(dialog, IDC_LOCK_ACTION, Stop);
      Type(dialog, IDE_LOCK_DELAY, L"9");
      CheckDlgButton(dialog, IDX_LOCK_ON_SCREENSAVER, BST_UNCHECKED);
      EXPECT_EQ(Pause, live.lock.action) << "nothing reaches the live settings before OK";
      ending.end(dialog);
    });
    EXPECT_EQ(ending.result, result) << ending.how;
    const bool stored = ending.result == IDOK;
    EXPECT_EQ(stored ? Stop : Pause, live.lock.action) << ending.how;
    EXPECT_EQ(stored ? 9 : 0, live.lock.delay) << ending.how;
    EXPECT_EQ(!stored, live.lock_on_screensaver) << ending.how;
    EXPECT_EQ(ini.c_str(), live.ini_path) << ending.how;
    EXPECT_EQ(stored, testing_support::FileExists(ini)) << ending.how;
    if (stored) ExpectNineKeys(ini);
  }
}

// A save that fails is reported in one box before the dialog closes (none when it works),
// and the new values hold all the same. Wine reports a write to a read-only file as done, so
// the failure is a folder that does not exist; on Windows both fail alike.
TEST_F(OptionsDialogTest, FailedSaveIsReportedOnceAndTheNewValuesHoldAllTheSame) {
  wchar_t reason[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_PATH_NOT_FOUND, 0x400,
                 reason, 512, nullptr);
  const std::wstring headline = L"Quillary|Die Einstellungen konnten nicht gespeichert werden.\r\n";
  const std::wstring gone = folder.File(L"gone\\winamp.ini");
  const std::pair<const wchar_t*, std::wstring> cases[] = {
      {gone.c_str(), headline + gone + L"\r\n\r\n" + reason},
      {nullptr, headline + L"Winamp hat dem Plug-in keine Konfigurationsdatei genannt."},
      {ini.c_str(), L""},
  };
  for (const auto& c : cases) {
    live = ReactionSettings();
    if (c.first) live.SetIniLocation(c.first);
    std::wstring box;
    RunDialog([&](COptionsDlg&, HWND dialog) {
      Choose(dialog, IDC_LOCK_ACTION, Stop);
      // An unexpected box holds the dialog until RunDialog's guard fails the test.
      if (!c.second.empty()) {
        Later(1, [&box, dialog] {
          HWND popup = OwnedPopup(dialog);
          wchar_t caption[64] = {};
          GetWindowTextW(popup, caption, 64);
          box = std::wstring(caption) + L"|" + ItemText(popup, 0xFFFF);
          Click(popup, IDOK);
        });
      }
      Click(dialog, IDOK);
    });
    EXPECT_EQ(c.second, box);
    EXPECT_EQ(Stop, live.lock.action) << "the new values hold until the player exits";
  }
}

TEST_F(OptionsDialogTest, DefaultsAskFirstWithNoAsTheDefaultAnswer) {
  live.lock.SetAction(Stop);
  live.lock.SetDelay(30);
  live.unlock.SetAction(PlayNext);
  live.unlock.SetDelay(5);
  live.login.SetAction(CloseHost);
  SetAllOptions(live, false);
  RunDialog([this](COptionsDlg&, HWND dialog) {
    // No is the box's default button, and answering it changes nothing.
    Later(1, [dialog] {
      HWND box = OwnedPopup(dialog);
      ASSERT_NE(nullptr, box);
      wchar_t caption[100] = {};
      GetWindowTextW(box, caption, 100);
      EXPECT_STREQ(L"Quillary", caption);
      EXPECT_EQ(L"Sollen wirklich alle Einstellungen auf die Standardwerte zur\u00fcckgesetzt werden?",
                ItemText(box, 0xFFFF));
      EXPECT_NE(nullptr, GetDlgItem(box, IDYES));
      EXPECT_EQ(nullptr, GetDlgItem(box, IDOK));
      // Wine leaves DM_GETDEFID at IDOK but marks and focuses the default push button.
      EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK);
      EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongW(GetDlgItem(box, IDYES), GWL_STYLE) & BS_TYPEMASK);
      Click(box, IDNO);
    });
    Click(dialog, IDB_DEFAULTS);
    EXPECT_EQ(L"Stopp", SelectedText(dialog, IDC_LOCK_ACTION));
    EXPECT_EQ(L"30", ItemText(dialog, IDE_LOCK_DELAY));
    EXPECT_FALSE(Checked(dialog, IDX_LOCK_ON_SCREENSAVER));

    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
    EXPECT_EQ(L"Pause", SelectedText(dialog, IDC_LOCK_ACTION));
    EXPECT_EQ(L"0", ItemText(dialog, IDE_LOCK_DELAY));
    EXPECT_EQ(Nothing, SelectedText(dialog, IDC_LOGIN_ACTION));
    EXPECT_EQ(L"0", ItemText(dialog, IDE_LOGIN_DELAY));
    EXPECT_FALSE(Enabled(dialog, IDE_LOGIN_DELAY));
    EXPECT_FALSE(Enabled(dialog, IDU_LOGIN_DELAY));
    EXPECT_EQ(L"Wiedergabe starten/fortsetzen", SelectedText(dialog, IDC_UNLOCK_ACTION));
    EXPECT_EQ(L"2", ItemText(dialog, IDE_UNLOCK_DELAY));
    for (int box : {IDX_PLAY_ONLY_WHEN_PAUSED, IDX_ALWAYS_STOP_STREAMS, IDX_LOCK_ON_SCREENSAVER}) {
      EXPECT_TRUE(Checked(dialog, box)) << box;
    }
    EXPECT_EQ(Stop, live.lock.action) << "Defaults reset only the dialog's copy";
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(Stop, live.lock.action);
  EXPECT_EQ(CloseHost, live.login.action);
  EXPECT_FALSE(live.lock_on_screensaver);
  EXPECT_FALSE(testing_support::FileExists(ini)) << "Defaults and Cancel write nothing";
}

TEST_F(OptionsDialogTest, DefaultsThenOkStoresTheDefaults) {
  live.unlock.SetAction(PlayNext);
  live.unlock.SetDelay(5);
  SetAllOptions(live, false);
  RunDialog([this](COptionsDlg&, HWND dialog) {
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
    Click(dialog, IDOK);
  });
  const ReactionSettings defaults;
  EXPECT_EQ(defaults.unlock.action, live.unlock.action);
  EXPECT_EQ(defaults.unlock.delay, live.unlock.delay);
  EXPECT_TRUE(live.play_only_when_paused_or_stopped && live.always_stop_streams && live.lock_on_screensaver);
  EXPECT_EQ(ini.c_str(), live.ini_path) << "the reset keeps the INI location";
}

namespace {

// The position at which the dialog manager creates the next top-level window of this thread.
struct CreationRecorder {
  static int x, y;
  static HHOOK hook;
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
      const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
      if (!(cs->style & WS_CHILD) && hook) {
        x = cs->x;
        y = cs->y;
        UnhookWindowsHookEx(hook);
        hook = nullptr;
        return 0;
      }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
  }
  CreationRecorder() { hook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId()); }
  ~CreationRecorder() {
    if (hook) UnhookWindowsHookEx(hook);
    hook = nullptr;
  }
};
int CreationRecorder::x = 0;
int CreationRecorder::y = 0;
HHOOK CreationRecorder::hook = nullptr;

}  // namespace

TEST_F(OptionsDialogTest, OpensCentredOnTheWindowTheHostNames) {
  HWND reference =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 200, 700, 500, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, reference);
  host.SetDialogParentAnswer(reinterpret_cast<LRESULT>(reference));
  RECT placed = {};
  auto record = [&placed](COptionsDlg&, HWND dialog) {
    GetWindowRect(dialog, &placed);
    Click(dialog, IDCANCEL);
  };
  RunDialog(record);
  EXPECT_EQ(1u, host.CountQueries(standin::proto::QueryDialogParent));
  const int width = placed.right - placed.left;
  const int height = placed.bottom - placed.top;
  EXPECT_EQ(100 + (700 - width) / 2, placed.left);
  EXPECT_EQ(200 + (500 - height) / 2, placed.top);
  DestroyWindow(reference);

  // 0 and 1 name no window, nor does an answer that is no window handle: the dialog stays
  // where the dialog manager created it, except that it never starts at negative coordinates.
  const struct {
    LRESULT answer;
    int host_x, host_y;
  } cases[] = {{0, 40, 30}, {1, 40, 30}, {0, -300, -200}, {1, -300, -200}, {12345, 40, 30}};
  for (const auto& c : cases) {
    host.SetDialogParentAnswer(c.answer);
    SetWindowPos(host.Window(), nullptr, c.host_x, c.host_y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CreationRecorder created;
    RunDialog(record);
    EXPECT_EQ(created.x < 0 ? 0 : created.x, placed.left) << c.answer << " at " << c.host_x;
    EXPECT_EQ(created.y < 0 ? 0 : created.y, placed.top) << c.answer << " at " << c.host_y;
  }
}

// Centred on a player that lies partly off its monitor, the dialog stays inside the work
// area of the monitor nearest the player (under Xvfb the one monitor there is).
TEST_F(OptionsDialogTest, StaysInTheWorkAreaOfTheNearestMonitor) {
  host.SetDialogParentAnswer(reinterpret_cast<LRESULT>(host.Window()));
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(host.Window(), MONITOR_DEFAULTTONEAREST), &monitor));
  const RECT work = monitor.rcWork;
  const POINT places[] = {{work.left - 300, work.top - 200}, {work.right - 100, work.bottom - 80}};
  for (const POINT& place : places) {
    host.MoveTo(place.x, place.y);
    RECT placed = {};
    RunDialog([&placed](COptionsDlg&, HWND dialog) {
      GetWindowRect(dialog, &placed);
      Click(dialog, IDCANCEL);
    });
    EXPECT_GE(placed.left, work.left) << place.x;
    EXPECT_GE(placed.top, work.top) << place.x;
    EXPECT_LE(placed.right, work.right) << place.x;
    EXPECT_LE(placed.bottom, work.bottom) << place.x;
  }
}

TEST_F(OptionsDialogTest, HeaderBandIsWhiteWithABoldTitleAndTwoLinks) {
  RunDialog([](COptionsDlg& options, HWND dialog) {
    LOGBRUSH brush = {};
    ASSERT_EQ(static_cast<int>(sizeof(brush)), GetObjectW(options.HeaderBrush, sizeof(brush), &brush));
    EXPECT_EQ(static_cast<UINT>(BS_SOLID), brush.lbStyle);
    EXPECT_EQ(RGB(255, 255, 255), brush.lbColor);

    LOGFONTW title = {}, plain = {};
    EXPECT_EQ(options.TitleFont, reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDT_TITLE, WM_GETFONT, 0, 0)));
    GetObjectW(options.TitleFont, sizeof(title), &title);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(plain), &plain);
    EXPECT_EQ(FW_BOLD, title.lfWeight);
    EXPECT_STREQ(plain.lfFaceName, title.lfFaceName);
    EXPECT_EQ(plain.lfHeight, title.lfHeight);

    // The band and its three texts sit on white; the rest of the dialog keeps its colours.
    HDC dc = CreateCompatibleDC(nullptr);
    for (int id : {IDT_HEADER_BAND, IDT_TITLE, IDT_WEB_LINK, IDT_COPYRIGHT, IDT_SCREENSAVER_HINT, IDT_LOCK_EVENT}) {
      SetBkMode(dc, OPAQUE);
      const bool header = id <= IDT_COPYRIGHT;
      const LRESULT result = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
      EXPECT_EQ(header, result == reinterpret_cast<LRESULT>(options.HeaderBrush)) << id;
      if (header) {
        EXPECT_EQ(TRANSPARENT, GetBkMode(dc)) << id;
      }
      if (id == IDT_WEB_LINK) {
        EXPECT_EQ(LinkUnvisitedColor, GetTextColor(dc));
      }
    }
    DeleteDC(dc);

    EXPECT_STREQ(L"https://quillary.example.org/", options.WebLink.Target);
    EXPECT_EQ(ItemText(dialog, IDT_WEB_LINK), options.WebLink.Target) << "the web link opens its own text";
    EXPECT_EQ(nullptr, options.WebLink.Parameters);
    EXPECT_FALSE(options.WebLink.KeepUnvisitedColor);
    EXPECT_STREQ(L"rundll32.exe", options.ScreenSaverLink.Target);
    EXPECT_STREQ(L"shell32.dll,Control_RunDLL desk.cpl,,1", options.ScreenSaverLink.Parameters);
    EXPECT_TRUE(options.ScreenSaverLink.KeepUnvisitedColor);
    Click(dialog, IDCANCEL);
  });
}

namespace {

// What a screen reader hears of a control, through oleacc as it asks; `kept` keeps the object.
struct Heard {
  std::wstring name, action, value;
  LONG role = 0;
};
Heard Hear(HWND control, IAccessible** kept = nullptr) {
  IAccessible* object = nullptr;
  Heard heard;
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object)))) {
    return heard;
  }
  VARIANT self = {}, role = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  for (auto ask : {std::make_pair(&IAccessible::get_accName, &heard.name),
                   std::make_pair(&IAccessible::get_accDefaultAction, &heard.action),
                   std::make_pair(&IAccessible::get_accValue, &heard.value)}) {
    BSTR text = nullptr;
    (object->*ask.first)(self, &text);
    *ask.second = text ? text : L"(none)";
    SysFreeString(text);
  }
  if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) heard.role = role.lVal;
  if (kept) *kept = object;
  else object->Release();
  return heard;
}

}  // namespace

// Both links are heard as links named by their text, whose default action opens them once,
// as a click does, but only after the reader's call has returned; each delay field and its
// up-down control by the texts of their row, and the field as before. The dialog's thread
// has an apartment while the dialog runs, and none left behind afterwards.
TEST_F(OptionsDialogTest, ScreenReaderHearsLinksAsLinksAndTheRowOfEachDelay) {
  const std::wstring opens = folder.File(L"opens.count");
  RunDialog([&](COptionsDlg& options, HWND dialog) {
    APTTYPE apartment = APTTYPE_MTA;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    EXPECT_EQ(S_OK, CoGetApartmentType(&apartment, &qualifier));
    EXPECT_EQ(APTTYPE_MAINSTA, apartment) << "the first apartment of the process is its main one";
    for (CHyperLink* link : {&options.WebLink, &options.ScreenSaverLink}) {
      HWND control = GetDlgItem(dialog, link == &options.WebLink ? IDT_WEB_LINK : IDT_SCREENSAVER_LINK);
      IAccessible* object = nullptr;
      const Heard heard = Hear(control, &object);
      ASSERT_NE(nullptr, object);
      EXPECT_EQ(ItemText(dialog, GetDlgCtrlID(control)), heard.name);
      EXPECT_EQ(ROLE_SYSTEM_LINK, heard.role) << heard.name.c_str();
      EXPECT_EQ(L"\u00d6ffnen", heard.action) << heard.name.c_str();
      CountOpens(*link, opens);  // nothing else opens
      VARIANT self = {};
      self.vt = VT_I4;
      self.lVal = CHILDID_SELF;
      if (!(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE)) {  // the hint's link, left out: no click either
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, object->accDoDefaultAction(self));
        ShowWindow(control, SW_SHOWNA);
      }
      EnableWindow(dialog, FALSE);  // as under its own message box
      EXPECT_EQ(DISP_E_MEMBERNOTFOUND, object->accDoDefaultAction(self));
      EnableWindow(dialog, TRUE);
      host.PumpFor(1);
      EXPECT_FALSE(link->Visited);
      EXPECT_EQ(S_OK, object->accDoDefaultAction(self));
      EXPECT_FALSE(link->Visited) << "opened inside the reader's call: " << heard.name.c_str();
      host.PumpFor(1);
      EXPECT_TRUE(link->Visited) << heard.name.c_str();
      object->Release();
    }
    EXPECT_EQ(2, OpensCounted(host, opens, 2)) << "each link once, the hidden one only once shown";
    const struct {
      int field, updown;
      const wchar_t* name;
    } rows[] = {
        {IDE_LOCK_DELAY, IDU_LOCK_DELAY, L"... der Computer gesperrt wird: Verz\u00f6gerung (Sekunden)"},
        {IDE_LOGIN_DELAY, IDU_LOGIN_DELAY, L"... sich ein anderer Benutzer anmeldet: Verz\u00f6gerung (Sekunden)"},
        {IDE_UNLOCK_DELAY, IDU_UNLOCK_DELAY, L"... der Computer entsperrt wird: Verz\u00f6gerung (Sekunden)"}};
    for (const auto& row : rows) {
      const Heard field = Hear(GetDlgItem(dialog, row.field));
      EXPECT_EQ(row.name, field.name);
      EXPECT_EQ(ROLE_SYSTEM_TEXT, field.role) << row.field;
      EXPECT_EQ(ItemText(dialog, row.field), field.value) << row.field;
      EXPECT_EQ(row.name, Hear(GetDlgItem(dialog, row.updown)).name);
    }
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED)) << "the dialog's apartment ended with it";
  CoUninitialize();
}

// Wine's own counters answer 0, so every GDI object, window and kernel handle of the
// process is counted by probing (see CountObjects). Ten openings first fill the per-process
// caches: Wine's shared DC cache grows by one DC and its region once, then never again.
TEST_F(OptionsDialogTest, HundredOpeningsLeaveNoObjectsBehind) {
  std::vector<HGDIOBJ> made;
  auto open_and_close = [&](int round) {
    RunDialog([&](COptionsDlg& options, HWND dialog) {
      DrawWhole(dialog);
      made.insert(made.end(), {options.HeaderBrush, options.TitleFont, UnderlineFont});
      SendDlgItemMessageW(dialog, IDT_WEB_LINK, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));  // hover: underlined font
      if (round % 10 == 0) {
        Later(1, [dialog] { Click(OwnedPopup(dialog), IDNO); });
        Click(dialog, IDB_DEFAULTS);
      }
      Click(dialog, round % 2 ? IDCANCEL : IDOK);
    });
  };
  for (int round = 1; round <= 10; ++round) open_and_close(round);
  FillWindowDcCache();
  host.PumpFor(100);  // pending paints hold update regions
  const ObjectCounts before = CountObjects();
  for (int round = 11; round <= 110; ++round) open_and_close(round);
  host.PumpFor(100);
  const ObjectCounts after = CountObjects();
  printf("objects before/after 100 openings: GDI %d/%d, windows %d/%d, kernel handles %d/%d\n", before.gdi, after.gdi,
         before.windows, after.windows, before.kernel, after.kernel);
  EXPECT_EQ(before.gdi, after.gdi);
  EXPECT_EQ(before.windows, after.windows);
  EXPECT_EQ(before.kernel, after.kernel);
  for (HGDIOBJ object : made) EXPECT_EQ(0u, GetObjectType(object)) << "the dialog's own brush and fonts are deleted";
  EXPECT_EQ(0, LinkCount);
  EXPECT_EQ(nullptr, UnderlineFont);
}

// A box that cannot be shown is never activated, so its hook would stay behind and move
// the next window activated on this thread.
TEST(CenteredMessageBox, LeavesNoHookWhenNoBoxAppears) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  const int answer = ShowCenteredMessageBox(gone, L"text", L"caption");
  EXPECT_NE(IDYES, answer);
  EXPECT_NE(IDNO, answer);
  EXPECT_EQ(nullptr, MessageBoxHook);
}
