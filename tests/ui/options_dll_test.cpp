// The options dialog through the shipped DLL, as the host opens it from its preferences.
#include "tests/common/test_support.h"

#include <commctrl.h>

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
    KillTimer(host.Window(), guard);
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
  const LONG own = GetWindowLongW(host.Window(), GWL_WNDPROC);
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
  EXPECT_EQ(own, GetWindowLongW(host.Window(), GWL_WNDPROC));
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
