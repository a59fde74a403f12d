// The options dialog through the shipped DLL, as the host opens it from its preferences.
#include "tests/common/test_support.h"

#include <commctrl.h>

#include <algorithm>

#include "tests/reliability/reliability.h"
#include "ui/hyperlink.h"
#include "ui/resource.h"

using standin::PluginLoader;

namespace {

const wchar_t DialogTitle[] = L"\"Quillary\" - Einstellungen";

struct TitleSearch {
  int count;
  HWND found;
};
BOOL CALLBACK CountDialogs(HWND window, LPARAM data) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (wcscmp(title, DialogTitle) == 0) {
    auto* search = reinterpret_cast<TitleSearch*>(data);
    ++search->count;
    search->found = window;
  }
  return TRUE;
}
TitleSearch FindDialogs() {
  TitleSearch search = {0, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), CountDialogs, reinterpret_cast<LPARAM>(&search));
  return search;
}

class OptionsDllTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);  // the host has done this before any plug-in runs
    ini = folder.File(L"winamp.ini");
    host.SetIniPath(testing_support::ToAnsi(ini));
  }
  // config as the host calls it; a dialog still open after 10 s is ended and fails the test.
  void ConfigEndedWithin10s(const char* left_open) {
    const UINT_PTR guard = host.After(10000, [left_open] {
      ADD_FAILURE() << left_open;
      if (HWND dialog = FindDialogs().found) EndDialog(dialog, 2);
    });
    plugin.Config();
    host.Cancel(guard);
  }
  testing_support::TempFolder folder;
  std::wstring ini;
  PluginLoader plugin;
};

}  // namespace

TEST_F(OptionsDllTest, ConfigRunsOneDialogAndOkSavesWhatWasChosen) {
  ASSERT_TRUE(plugin.Load(testing_support::PluginDllPath())) << plugin.Error();
  ASSERT_EQ(0, plugin.Init(host.Window()));
  host.After(1, [this] {
    HWND dialog = FindDialogs().found;
    ASSERT_NE(nullptr, dialog);
    // The texts come from the DLL's own resources.
    wchar_t item[64] = {};
    SendDlgItemMessageW(dialog, IDC_UNLOCK_ACTION, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(L"N\u00e4chsten Titel wiedergeben", item);

    plugin.Config();  // the host's preferences ask again while it is open
    EXPECT_EQ(1, FindDialogs().count) << "a second config only raises the open dialog";

    HWND list = GetDlgItem(dialog, IDC_LOCK_ACTION);
    SendMessageW(list, CB_SETCURSEL, 2, 0);  // "Stopp"
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LOCK_ACTION, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    SetDlgItemInt(dialog, IDE_LOCK_DELAY, 12, FALSE);
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  ConfigEndedWithin10s("the options dialog was left open");
  EXPECT_EQ(0, FindDialogs().count);
  EXPECT_EQ(2u, GetPrivateProfileIntW(L"gen_corvane", L"lock_action", 0, ini.c_str()));
  EXPECT_EQ(12u, GetPrivateProfileIntW(L"gen_corvane", L"lock_delay", 0, ini.c_str()));
  EXPECT_EQ(5u, GetPrivateProfileIntW(L"gen_corvane", L"unlock_action", 0, ini.c_str()));
  plugin.Quit();
}

// The player can call quit while the dialog's modal loop runs (log-off, closed from its tray
// icon): the dialog ends unsaved, config then leaves the stopped watch alone, and the DLL,
// whose procedures are still on the stack, stays mapped.
TEST_F(OptionsDllTest, QuitWhileTheDialogIsOpenEndsItUnsavedAndKeepsTheDll) {
  const LONG_PTR own = GetWindowLongPtrW(host.Window(), GWLP_WNDPROC);
  ASSERT_TRUE(plugin.Load(testing_support::PluginDllPath())) << plugin.Error();
  ASSERT_EQ(0, plugin.Init(host.Window()));
  DWORD threads_after_quit = 0;
  host.After(1, [&] {
    HWND dialog = FindDialogs().found;
    ASSERT_NE(nullptr, dialog);
    CheckDlgButton(dialog, IDX_ALWAYS_STOP_STREAMS, BST_UNCHECKED);
    plugin.Quit();
    threads_after_quit = reliability::ThreadCount();
  });
  ConfigEndedWithin10s("quit left the options dialog open");
  EXPECT_EQ(0, FindDialogs().count);
  EXPECT_FALSE(testing_support::FileExists(ini)) << "nothing was saved";
  EXPECT_EQ(threads_after_quit, reliability::ThreadCount()) << "no watch started after quit";
  EXPECT_EQ(own, GetWindowLongPtrW(host.Window(), GWLP_WNDPROC));
  plugin.Unload();
  EXPECT_NE(nullptr, GetModuleHandleW(L"gen_corvane.dll"));
}

// The atom is global to the desktop, so this program runs alone: no other process holds it.
TEST_F(OptionsDllTest, LinkAtomLivesAsLongAsTheDll) {
  // A process killed while it held the atom (a test that crashed or timed out) never
  // deleted it, and the wineserver keeps it for the rest of the run.
  for (int i = 0; i < 100 && GlobalFindAtomW(LinkPropertyName); ++i)
    GlobalDeleteAtom(GlobalFindAtomW(LinkPropertyName));
  ASSERT_EQ(0, GlobalFindAtomW(LinkPropertyName));
  ASSERT_TRUE(plugin.Load(testing_support::PluginDllPath())) << plugin.Error();
  EXPECT_NE(0, GlobalFindAtomW(LinkPropertyName)) << "added by the DLL's static set-up";
  ASSERT_EQ(0, plugin.Init(host.Window()));
  plugin.Quit();
  plugin.Unload();
  EXPECT_EQ(0, GlobalFindAtomW(LinkPropertyName)) << "deleted by the DLL's static teardown";
}

namespace {

// Two monitors side by side as the host process answers the plug-in's lookups (Wine under
// Xvfb shows one): the primary, and right of it one with a task bar along its bottom. Their
// handles are 1 and 2.
RECT MonitorArea[2];
RECT WorkArea[2];

void SetUpTwoMonitors() {
  MONITORINFO primary = {};
  primary.cbSize = sizeof(primary);
  GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
  const RECT& p = primary.rcMonitor;
  MonitorArea[0] = p;
  WorkArea[0] = primary.rcWork;
  MonitorArea[1] = {p.right, p.top, 2 * p.right - p.left, p.bottom};
  WorkArea[1] = {p.right, p.top, 2 * p.right - p.left, p.bottom - 40};
}

// As Windows answers: the monitor with the largest overlap, else the nearest one, the
// primary or none as the flags say. Overlaps score positive, distances negative.
HMONITOR WINAPI FakeMonitorFromRect(LPCRECT rect, DWORD flags) {
  long score[2];
  for (int i = 0; i < 2; ++i) {
    const RECT& m = MonitorArea[i];
    RECT overlap;
    const long gap_x = std::max({m.left - rect->right, rect->left - m.right, 0L});
    const long gap_y = std::max({m.top - rect->bottom, rect->top - m.bottom, 0L});
    score[i] = IntersectRect(&overlap, rect, &m) ? (overlap.right - overlap.left) * (overlap.bottom - overlap.top)
                                                 : -(gap_x * gap_x + gap_y * gap_y);
  }
  UINT_PTR best = score[1] > score[0] ? 2 : 1;
  if (score[best - 1] <= 0 && flags != MONITOR_DEFAULTTONEAREST) best = flags == MONITOR_DEFAULTTOPRIMARY ? 1 : 0;
  return reinterpret_cast<HMONITOR>(best);
}

BOOL WINAPI FakeGetMonitorInfo(HMONITOR handle, LPMONITORINFO info) {
  const UINT_PTR i = reinterpret_cast<UINT_PTR>(handle) - 1;
  if (i > 1) return FALSE;
  info->rcMonitor = MonitorArea[i];
  info->rcWork = WorkArea[i];
  info->dwFlags = i == 0 ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}

// An empty rectangle (a window that never showed) is nowhere.
bool Inside(const RECT& r, const RECT& area) {
  return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom &&
         r.right > r.left;
}

}  // namespace

// A player on the second monitor, near its far corner or wholly past its edge: the dialog
// and the Defaults question open on that monitor, inside its work area (not over its task
// bar, and not on the primary screen).
TEST_F(OptionsDllTest, DialogAndQuestionOpenInTheWorkAreaOfThePlayersMonitor) {
  SetUpTwoMonitors();
  ASSERT_TRUE(plugin.Load(testing_support::PluginDllPath())) << plugin.Error();
  ASSERT_NE(nullptr, plugin.ReplaceImport("user32.dll", "MonitorFromRect", reinterpret_cast<void*>(FakeMonitorFromRect)));
  ASSERT_NE(nullptr, plugin.ReplaceImport("user32.dll", "GetMonitorInfoW", reinterpret_cast<void*>(FakeGetMonitorInfo)));
  ASSERT_EQ(0, plugin.Init(host.Window()));
  host.SetDialogParentAnswer(reinterpret_cast<LRESULT>(host.Window()));
  const RECT work = WorkArea[1];
  const POINT places[] = {{work.right - 200, work.bottom - 100}, {work.right + 300, work.top + 200}};
  for (const POINT& place : places) {
    host.MoveTo(place.x, place.y);
    RECT dialog = {}, question = {};
    host.After(1, [&] {
      HWND window = FindDialogs().found;
      ASSERT_NE(nullptr, window);
      GetWindowRect(window, &dialog);
      // The user drags the dialog half past the monitor's far corner, then asks for the
      // defaults: the question, centred on the dialog, is pushed back into the work area.
      SetWindowPos(window, nullptr, work.right - 150, work.bottom - 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      host.After(1, [&] {
        HWND box = FindWindowW(L"#32770", L"Quillary");  // alone on the desktop: ours
        GetWindowRect(box, &question);
        EndDialog(box, IDNO);
      });
      SendMessageW(GetDlgItem(window, IDB_DEFAULTS), BM_CLICK, 0, 0);
      EndDialog(window, IDCANCEL);
    });
    ConfigEndedWithin10s("the options dialog was left open");
    EXPECT_TRUE(Inside(dialog, work)) << "dialog for a player at " << place.x << "," << place.y;
    EXPECT_TRUE(Inside(question, work)) << "question for a player at " << place.x << "," << place.y;
  }
  plugin.Quit();
}
