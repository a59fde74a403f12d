// Options dialog behaviour that needs the keyboard focus or the foreground window, run
// alone so no other test's window takes them away.
#include "tests/ui/ui_test_support.h"

#include <commctrl.h>

#include "ui/resource.h"

using namespace ui_testing;

namespace {

// Wine's edit control ignores EM_SHOWBALLOONTIP, so the test records what the dialog asks
// the field to show.
struct BalloonRecorder {
  struct Tip {
    DWORD size;
    std::wstring title, text;
    INT icon;
  };
  static std::vector<Tip> tips;
  static WNDPROC previous;
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == EM_SHOWBALLOONTIP) {
      const auto* tip = reinterpret_cast<const EDITBALLOONTIP*>(lParam);
      tips.push_back({tip->cbStruct, tip->pszTitle, tip->pszText, tip->ttiIcon});
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
  }
  // Undone by the field's destruction with the dialog.
  static void Install(HWND field) {
    tips.clear();
    previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  }
};
std::vector<BalloonRecorder::Tip> BalloonRecorder::tips;
WNDPROC BalloonRecorder::previous = nullptr;

}  // namespace

TEST_F(OptionsDialogTest, OutOfRangeDelayWarnsWhileTypingAndIsClampedOnLeavingOrAtOk) {
  RunDialog([this](COptionsDlg&, HWND dialog) {
    Choose(dialog, IDC_LOGIN_ACTION, Stop);  // a disabled field could not take the focus
    HWND field = GetDlgItem(dialog, IDE_LOCK_DELAY);
    BalloonRecorder::Install(field);
    SetFocus(field);
    Type(dialog, IDE_LOCK_DELAY, L"60");
    EXPECT_TRUE(BalloonRecorder::tips.empty()) << "60 is in range";
    Type(dialog, IDE_LOCK_DELAY, L"75");
    ASSERT_EQ(1u, BalloonRecorder::tips.size()) << "one balloon, at the second digit";
    const auto& tip = BalloonRecorder::tips[0];
    EXPECT_EQ(sizeof(EDITBALLOONTIP), tip.size);
    EXPECT_EQ(L"Ung\u00fcltiger Wert", tip.title);
    EXPECT_EQ(L"Die Verz\u00f6gerung muss zwischen 0 und 60 Sekunden liegen.", tip.text);
    EXPECT_EQ(TTI_ERROR, tip.icon);
    EXPECT_EQ(L"75", ItemText(dialog, IDE_LOCK_DELAY)) << "the typed text stays until the field is left";

    // Leaving the field corrects it; an emptied field shows 0.
    SetFocus(GetDlgItem(dialog, IDE_LOGIN_DELAY));
    EXPECT_EQ(L"60", ItemText(dialog, IDE_LOCK_DELAY));
    Type(dialog, IDE_LOGIN_DELAY, L"");
    SetFocus(GetDlgItem(dialog, IDE_UNLOCK_DELAY));
    EXPECT_EQ(L"0", ItemText(dialog, IDE_LOGIN_DELAY));
    EXPECT_EQ(1u, BalloonRecorder::tips.size()) << "corrected values raise no balloon";

    // Enter while still in the field: OK comes before any focus change.
    Type(dialog, IDE_UNLOCK_DELAY, L"99");
    PostMessageW(GetDlgItem(dialog, IDE_UNLOCK_DELAY), WM_KEYDOWN, VK_RETURN, 0);
    Later(2000, [dialog] {
      ADD_FAILURE() << "Enter did not press OK";
      EndDialog(dialog, -2);
    });
  });
  EXPECT_EQ(60, live.lock.delay);
  EXPECT_EQ(0, live.login.delay);
  EXPECT_EQ(60, live.unlock.delay);
}

TEST_F(OptionsDialogTest, ConfirmationIsCentredOverTheDialogAndKeptOnTheDesktop) {
  RunDialog([this](COptionsDlg&, HWND dialog) {
    ASSERT_EQ(dialog, GetForegroundWindow()) << "the box is placed over the foreground window";
    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const struct {
      const char* where;
      int x, y;
    } places[] = {
        {"inside", 120, 90},
        {"across the bottom right", desktop.right - width / 4, desktop.bottom - height / 4},
        {"across the top left", -width * 3 / 4, -height * 3 / 4},
    };
    for (const auto& place : places) {
      SetWindowPos(dialog, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      RECT box = {};
      Later(1, [&] {
        HWND popup = OwnedPopup(dialog);
        GetWindowRect(popup, &box);
        Click(popup, IDNO);
      });
      Click(dialog, IDB_DEFAULTS);
      const int box_width = box.right - box.left;
      const int box_height = box.bottom - box.top;
      int x = place.x + width / 2 - box_width / 2;
      int y = place.y + height / 2 - box_height / 2;
      x = x < 0 ? 0 : (x + box_width > desktop.right ? desktop.right - box_width : x);
      y = y < 0 ? 0 : (y + box_height > desktop.bottom ? desktop.bottom - box_height : y);
      EXPECT_EQ(x, box.left) << place.where;
      EXPECT_EQ(y, box.top) << place.where;
      EXPECT_LE(box.right, desktop.right) << place.where;
      EXPECT_LE(box.bottom, desktop.bottom) << place.where;
    }
    Click(dialog, IDCANCEL);
  });
}

namespace {

bool HasVisibleStyle(HWND dialog, int id) {
  return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void SetOrRemove(testing_support::ScopedRegistryValue& value, const wchar_t* text) {
  if (text) {
    value.SetString(text);
  } else {
    value.Remove();
  }
}

}  // namespace

// The hint and its link show only where the screen saver does not return to the Welcome
// screen. It is judged when the dialog opens and after Defaults, not when 1031 changes.
// (Alone: the registry values are shared by every process of the prefix.)
TEST_F(OptionsDialogTest, ScreenSaverHintShowsOnlyWhereTheSaverDoesNotLock) {
  testing_support::ScopedRegistryValue secure(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure");
  testing_support::ScopedRegistryValue no_return(HKEY_CURRENT_USER, L"Control Panel\\Desktop",
                                                 L"NoAutoReturnToWelcome");
  const struct {
    const wchar_t* secure;
    const wchar_t* no_return;
    bool shown;
  } cases[] = {{nullptr, nullptr, false}, {L"0", L"1", true}, {L"1", L"1", false}, {L"0", L"0", false}};
  for (const auto& c : cases) {
    SetOrRemove(secure, c.secure);
    SetOrRemove(no_return, c.no_return);
    RunDialog([&](COptionsDlg&, HWND dialog) {
      EXPECT_EQ(c.shown, HasVisibleStyle(dialog, IDT_SCREENSAVER_HINT)) << c.secure << " " << c.no_return;
      EXPECT_EQ(c.shown, HasVisibleStyle(dialog, IDT_SCREENSAVER_LINK)) << c.secure << " " << c.no_return;
      Click(dialog, IDX_LOCK_ON_SCREENSAVER);
      Click(dialog, IDX_LOCK_ON_SCREENSAVER);
      EXPECT_EQ(c.shown, HasVisibleStyle(dialog, IDT_SCREENSAVER_HINT)) << "toggling 1031 changes nothing";
      Click(dialog, IDCANCEL);
    });
  }

  // Opened while the saver locks, then Windows is set up otherwise: Defaults judges again.
  secure.Remove();
  no_return.Remove();
  RunDialog([&](COptionsDlg&, HWND dialog) {
    EXPECT_FALSE(HasVisibleStyle(dialog, IDT_SCREENSAVER_HINT));
    secure.SetString(L"0");
    no_return.SetString(L"1");
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
    EXPECT_TRUE(HasVisibleStyle(dialog, IDT_SCREENSAVER_HINT));
    EXPECT_TRUE(HasVisibleStyle(dialog, IDT_SCREENSAVER_LINK));
    Click(dialog, IDCANCEL);
  });
}

namespace {

// Presses a key as the keyboard does, then lets the dialog manager take it and the windows
// paint, as the dialog's own loop would.
void Press(HWND dialog, WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (IsDialogMessageW(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A link and the two pixels around it, on the dialog.
RECT AroundLink(HWND dialog, HWND link) {
  RECT r = {};
  GetWindowRect(link, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  InflateRect(&r, 2, 2);
  return r;
}

// Pixels the focus frame changed next to (or on) a pixel of the text: the text is what
// differs from the paper, the colour at the picture's corner (outside the link).
int FrameTouchingText(const std::vector<COLORREF>& unfocused, const std::vector<COLORREF>& focused, int width) {
  const int height = static_cast<int>(unfocused.size()) / width;
  int touching = 0;
  for (int i = 0; i < width * height; ++i) {
    for (int d = 0; d < 9 && focused[i] != unfocused[i]; ++d) {
      const int x = i % width + d % 3 - 1, y = i / width + d / 3 - 1;
      if (x >= 0 && x < width && y >= 0 && y < height && unfocused[y * width + x] != unfocused[0]) {
        ++touching;
        break;
      }
    }
  }
  return touching;
}

}  // namespace

// As a keyboard user meets the links (with the screen saver hint shown): Tab reaches each
// one, which then paints its focus frame, keeps it through a repaint of the whole dialog and
// leaves no trace once Tab moves on. Enter and Space open the focused link and leave the
// dialog open, unsaved; Enter anywhere else is still OK.
TEST_F(OptionsDialogTest, KeyboardReachesAndOpensEachLinkThatShowsItsFocusFrame) {
  testing_support::ScopedRegistryValue secure(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure");
  testing_support::ScopedRegistryValue no_return(HKEY_CURRENT_USER, L"Control Panel\\Desktop",
                                                 L"NoAutoReturnToWelcome");
  secure.SetString(L"0");
  no_return.SetString(L"1");
  const std::wstring opens = folder.File(L"opens.count");
  const int result = RunDialog([&](COptionsDlg& options, HWND dialog) {
    DrawWhole(dialog);
    ASSERT_EQ(dialog, GetForegroundWindow()) << "keys go to the foreground window";
    const struct {
      CHyperLink* link;
      int id, before;
    } links[] = {{&options.WebLink, IDT_WEB_LINK, IDCANCEL},
                 {&options.ScreenSaverLink, IDT_SCREENSAVER_LINK, IDX_LOCK_ON_SCREENSAVER}};
    for (const auto& l : links) {
      HWND link = GetDlgItem(dialog, l.id);
      const RECT around = AroundLink(dialog, link);
      const std::vector<COLORREF> unfocused = ShownPixels(dialog, around);
      SetFocus(GetDlgItem(dialog, l.before));
      Press(dialog, VK_TAB);
      ASSERT_EQ(link, GetFocus()) << "Tab from " << l.before;
      const std::vector<COLORREF> focused = ShownPixels(dialog, around);
      const int frame = Differences(unfocused, focused);
      EXPECT_LT(0, frame) << "no focus frame on " << l.id;
      EXPECT_EQ(0, FrameTouchingText(unfocused, focused, around.right - around.left)) << "on " << l.id;
      RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      EXPECT_EQ(frame, Differences(unfocused, ShownPixels(dialog, around))) << "after a repaint, on " << l.id;
      Press(dialog, VK_TAB);
      EXPECT_EQ(0, Differences(unfocused, ShownPixels(dialog, around))) << "left behind by " << l.id;

      SetFocus(link);
      CountOpens(*l.link, opens);  // nothing else opens
      for (WORD key : {VK_RETURN, VK_SPACE}) {
        l.link->Visited = false;
        Press(dialog, key);
        EXPECT_TRUE(l.link->Visited) << "key " << key << " did not open " << l.id;
        EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog closed at key " << key << " on " << l.id;
      }
    }
    EXPECT_EQ(4, OpensCounted(host, opens, 4)) << "each key opens each link once";
    EXPECT_FALSE(testing_support::FileExists(ini)) << "nothing is saved";
    SetFocus(GetDlgItem(dialog, IDX_LOCK_ON_SCREENSAVER));
    Press(dialog, VK_RETURN);
  });
  EXPECT_EQ(IDOK, result) << "Enter on a check box";
}
