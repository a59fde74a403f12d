// The options dialog laid out with the real font at the display's DPI, the screen saver hint
// shown and hidden: every text fits its control, nothing covers anything else, every control
// stays inside its group box and the dialog, the dialog inside the work area; at 96 DPI the
// template stays as it is. DisplayScale runs the same tests at 120 to 192 DPI in a process
// of their own. (Alone: the registry values are shared by every process of the prefix.)
#include "tests/ui/ui_test_support.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/resource.h"

using namespace ui_testing;

namespace {

RECT ControlRect(HWND dialog, HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

int Dpi(HWND window) {
  HDC dc = GetDC(window);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  return dpi;
}

// DrawTextW's rectangle for the text in the control's font, wrapped at `width`; `digit`
// gets the width of a '0' in that font.
SIZE TextSize(HWND control, const std::wstring& text, int width, UINT flags, int* digit = nullptr) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT r = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), -1, &r, flags | DT_CALCRECT);
  if (digit) GetCharWidthW(dc, L'0', L'0', digit);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right, r.bottom};
}

// Where a control's text paints (a check box's with its square; any other control: the
// control) and whether the text fits, judged as Wine's controls draw it.
struct Judged {
  RECT ink;
  bool fits;
  int text_left;  // in the control
};
Judged Judge(HWND dialog, HWND control) {
  const RECT place = ControlRect(dialog, control);
  Judged judged = {place, true, 0};
  const int w = place.right - place.left, h = place.bottom - place.top;
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  const std::wstring text = ItemText(dialog, GetDlgCtrlID(control));
  wchar_t kind[32] = {};
  GetClassNameW(control, kind, 32);
  if (lstrcmpiW(kind, L"Static") == 0 && !text.empty()) {
    const SIZE s = TextSize(control, text, w, DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
    const LONG left = (style & SS_TYPEMASK) == SS_RIGHT ? place.right - s.cx : place.left;
    judged = {{left, place.top, left + s.cx, place.top + s.cy}, s.cx <= w && s.cy <= h, 0};
  } else if (lstrcmpiW(kind, L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
    // The square is 12 px at 96 DPI plus one; the text starts half a digit and a pixel right.
    int digit = 0;
    TextSize(control, L"0", 0, 0, &digit);
    const int inset = 12 * Dpi(control) / 96 + 1 + digit / 2 + 1;
    const SIZE s = TextSize(control, text, w - inset, (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE);
    const int top = (style & BS_TOP) ? 1 : (h - s.cy) / 2;
    judged = {{place.left, place.top + top, place.left + inset + s.cx, place.top + top + s.cy},
              s.cx <= w - inset && top >= 0 && top + s.cy <= h,
              inset};
  } else if (lstrcmpiW(kind, L"Button") == 0) {
    const SIZE s = TextSize(control, text, 0, DT_SINGLELINE);
    // A group box's caption stands 8 px in; a push button's text inside its frame.
    const bool group = (style & BS_TYPEMASK) == BS_GROUPBOX;
    judged.fits = group ? s.cx <= w - 16 : s.cx <= w - 8 && s.cy <= h - 4;
  } else if (lstrcmpiW(kind, L"ComboBox") == 0) {
    COMBOBOXINFO combo = {};
    combo.cbSize = sizeof(combo);
    GetComboBoxInfo(control, &combo);
    for (const ListItem& item : ListItems(dialog, GetDlgCtrlID(control))) {
      judged.fits = judged.fits &&
                    TextSize(control, item.text, 0, DT_SINGLELINE).cx <= combo.rcItem.right - combo.rcItem.left - 2;
    }
  }
  return judged;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The template as the dialog manager lays it out, without the options dialog's own layout:
// the controls' places in creation order, then the client rectangle.
std::vector<RECT> TemplateLayout() {
  HWND plain =
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OPTIONS), nullptr, PlainDialogProc, 0);
  std::vector<RECT> rects;
  for (HWND c = GetWindow(plain, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) rects.push_back(ControlRect(plain, c));
  RECT client = {};
  GetClientRect(plain, &client);
  rects.push_back(client);
  DestroyWindow(plain);
  return rects;
}

// Every text fits; no text, frame or field covers another; every control lies inside the
// dialog and inside the group box (below its caption) or the header band the template puts
// it in, and the dialog in the work area.
void ExpectEverythingReadable(HWND dialog, const std::vector<RECT>& table) {
  const int dpi = Dpi(dialog);
  RECT client = {};
  GetClientRect(dialog, &client);
  std::vector<HWND> controls;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) controls.push_back(c);
  ASSERT_EQ(table.size(), controls.size() + 1);
  const int frames[] = {IDG_ACTIONS, IDG_OPTIONS, IDT_HEADER_BAND};
  const auto is_frame = [&](HWND c) { return std::count(frames, frames + 3, GetDlgCtrlID(c)) > 0; };
  std::vector<std::pair<HWND, RECT>> inks;
  for (size_t i = 0; i < controls.size(); ++i) {
    HWND control = controls[i];
    const int id = GetDlgCtrlID(control);
    if (!(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE)) continue;
    const Judged judged = Judge(dialog, control);
    EXPECT_TRUE(judged.fits) << "the text of " << id << " does not fit at " << dpi << " DPI";
    // The etched line under the header runs from edge to edge, a little past them.
    EXPECT_TRUE(id == IDT_HEADER_LINE || Inside(judged.ink, client)) << id << " leaves the dialog at " << dpi << " DPI";
    if (is_frame(control)) continue;
    inks.emplace_back(control, judged.ink);
    for (size_t f = 0; f < controls.size(); ++f) {
      if (!is_frame(controls[f]) || !Inside(table[i], table[f])) continue;
      RECT inner = ControlRect(dialog, controls[f]);
      if (GetDlgCtrlID(controls[f]) != IDT_HEADER_BAND) inner.top += TextSize(controls[f], L"X", 0, DT_SINGLELINE).cy;
      EXPECT_TRUE(Inside(judged.ink, inner))
          << id << " leaves " << GetDlgCtrlID(controls[f]) << " at " << dpi << " DPI";
    }
  }
  for (size_t a = 0; a < inks.size(); ++a) {
    for (size_t b = a + 1; b < inks.size(); ++b) {
      // An up-down control sits on the edge of its field (its buddy) by design; to other
      // controls UDM_GETBUDDY means nothing, and they answer 0.
      HWND first = inks[a].first, second = inks[b].first;
      if (reinterpret_cast<HWND>(SendMessageW(second, UDM_GETBUDDY, 0, 0)) == first) continue;
      RECT common;
      EXPECT_FALSE(IntersectRect(&common, &inks[a].second, &inks[b].second))
          << GetDlgCtrlID(first) << " and " << GetDlgCtrlID(second) << " cover each other at " << dpi << " DPI";
    }
  }
  // A check box centres its text: a text taller than the box is cut at its top and bottom.
  for (int id : {IDX_PLAY_ONLY_WHEN_PAUSED, IDX_ALWAYS_STOP_STREAMS, IDX_LOCK_ON_SCREENSAVER}) {
    HWND box = GetDlgItem(dialog, id);
    RECT r = {};
    GetClientRect(box, &r);
    const std::vector<DWORD> pixels = PaintedPixels(box, r.right, r.bottom);
    int inked = 0;
    for (int x = Judge(dialog, box).text_left; x < r.right; ++x) {
      inked += pixels[x] != pixels.back() || pixels[(r.bottom - 1) * r.right + x] != pixels.back();
    }
    EXPECT_EQ(0, inked) << id << "'s text is painted up to its top or bottom edge at " << dpi << " DPI";
  }
  RECT own = {};
  GetWindowRect(dialog, &own);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
  EXPECT_TRUE(Inside(own, monitor.rcWork)) << "the dialog leaves the work area at " << dpi << " DPI";
}

// Judged by what the hint paints, not by any measurement of the layout's: given room, it
// shows all its lines, and none of its ink lies on the link's line or below.
void ExpectLinkOnALineOfItsOwn(HWND dialog) {
  HWND hint = GetDlgItem(dialog, IDT_SCREENSAVER_HINT);
  const RECT h = ControlRect(dialog, hint), link = ControlRect(dialog, GetDlgItem(dialog, IDT_SCREENSAVER_LINK));
  const int width = h.right - h.left, tall = link.bottom + (link.bottom - link.top) * 3 - h.top;
  SetWindowPos(hint, nullptr, 0, 0, width, tall, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  const std::vector<DWORD> pixels = PaintedPixels(hint, width, tall);
  SetWindowPos(hint, nullptr, 0, 0, width, h.bottom - h.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  int last_row = -1;
  for (int i = 0; i < width * tall; ++i) {
    if (pixels[i] != pixels.back()) last_row = i / width;
  }
  EXPECT_LT(h.top + last_row, link.top) << "the hint's text reaches the link's line at " << Dpi(dialog) << " DPI";
  EXPECT_EQ(h.left, link.left + LinkFrameMargin()) << "the link's text in line with the hint's";
}

// The template's own layout, except that what lies below the hint's top moves down by a
// line (with `line` given; at most the link's frame room more) and the group around it grows
// by as much (hint and link are judged elsewhere then), and that the web link has the room
// of its focus frame around its text.
void ExpectTemplateLayout(HWND dialog, const std::vector<RECT>& table, int line) {
  const RECT hint = ControlRect(dialog, GetDlgItem(dialog, IDT_SCREENSAVER_HINT));
  if (line) {
    size_t ok = 0;
    for (HWND c = GetWindow(dialog, GW_CHILD); c && GetDlgCtrlID(c) != IDOK; c = GetWindow(c, GW_HWNDNEXT)) ++ok;
    const int down = ControlRect(dialog, GetDlgItem(dialog, IDOK)).top - table[ok].top;
    EXPECT_LE(line, down);
    EXPECT_GE(line + 2 * LinkFrameMargin(), down);
    line = down;
  }
  size_t i = 0;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++i) {
    const int id = GetDlgCtrlID(c);
    if (line && (id == IDT_SCREENSAVER_HINT || id == IDT_SCREENSAVER_LINK)) continue;
    RECT want = table[i];
    if (want.top > hint.top) OffsetRect(&want, 0, line);
    if (id == IDG_OPTIONS) want.bottom += line;
    if (id == IDT_WEB_LINK) InflateRect(&want, LinkFrameMargin(), LinkFrameMargin());
    const RECT now = ControlRect(dialog, c);
    EXPECT_TRUE(EqualRect(&want, &now)) << id << " at " << now.left << "," << now.top << " instead of " << want.left
                                        << "," << want.top;
  }
  RECT client = {};
  GetClientRect(dialog, &client);
  EXPECT_EQ(table.back().bottom + line, client.bottom);
}

class OptionsDialogLayout : public OptionsDialogTest {
 protected:
  // Shows or hides the screen saver hint: it shows where the screen saver does not lock.
  void ShowHint(bool shown) {
    secure.SetString(shown ? L"0" : L"1");
    no_return.SetString(L"1");
  }
  testing_support::ScopedRegistryValue secure{HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure"};
  testing_support::ScopedRegistryValue no_return{HKEY_CURRENT_USER, L"Control Panel\\Desktop",
                                                 L"NoAutoReturnToWelcome"};
};

}  // namespace

TEST_F(OptionsDialogLayout, EveryTextReadableAtThisScale) {
  const std::vector<RECT> table = TemplateLayout();
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(host.Window(), MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT work = monitor.rcWork;
  HWND reference = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, work.left, work.top, work.right - work.left,
                                   work.bottom - work.top, nullptr, nullptr, nullptr, nullptr);
  host.SetDialogParentAnswer(reinterpret_cast<LRESULT>(reference));
  for (bool shown : {false, true}) {
    ShowHint(shown);
    RunDialog([&](COptionsDlg&, HWND dialog) {
      const int dpi = Dpi(dialog);
      ExpectEverythingReadable(dialog, table);
      if (shown) ExpectLinkOnALineOfItsOwn(dialog);
      RECT own = {};
      GetWindowRect(dialog, &own);
      EXPECT_EQ(work.top + (work.bottom - work.top - (own.bottom - own.top)) / 2, own.top) << "centred, final size";
      std::printf("[ figure   ] laid out at %d DPI, hint %s: %ld x %ld px\n", dpi, shown ? "shown" : "hidden",
                  own.right - own.left, own.bottom - own.top);
      // At 96 DPI every text fits the template, which stays as it is; the hint's link takes
      // a line of its own, for which what lies below the hint moves down by that line.
      HWND hint = GetDlgItem(dialog, IDT_SCREENSAVER_HINT);
      if (dpi == 96) ExpectTemplateLayout(dialog, table, shown ? TextSize(hint, L"X", 0, DT_SINGLELINE).cy : 0);
      if (!shown) {
        // Flush with the work area's bottom right, the dialog that Defaults grows by the
        // hint's line stays inside the work area.
        const int width = own.right - own.left, height = own.bottom - own.top;
        SetWindowPos(dialog, nullptr, work.right - width, work.bottom - height, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowHint(true);
        Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
        Click(dialog, IDB_DEFAULTS);
        RECT grown = {};
        GetWindowRect(dialog, &grown);
        EXPECT_GT(grown.bottom - grown.top, height) << "the hint's line grows the dialog at " << dpi << " DPI";
        ExpectEverythingReadable(dialog, table);
      }
      Click(dialog, IDCANCEL);
    });
  }
  DestroyWindow(reference);
}

// A hint whose last line is short still leaves the link a line of its own, after Defaults
// has laid the dialog out again; hidden again, the layout is the template's once more (at
// 96 DPI, where the template fits).
TEST_F(OptionsDialogLayout, LinkKeepsItsOwnLineWhateverTheHintSays) {
  ShowHint(true);
  RunDialog([&](COptionsDlg&, HWND dialog) {
    HWND hint = GetDlgItem(dialog, IDT_SCREENSAVER_HINT);
    const RECT before = ControlRect(dialog, GetDlgItem(dialog, IDOK));
    const int width = ControlRect(dialog, hint).right - ControlRect(dialog, hint).left;
    std::wstring word = L"x";
    while (TextSize(hint, word + L" Ende.", 0, DT_SINGLELINE).cx <= width) word += L"x";
    SetDlgItemTextW(dialog, IDT_SCREENSAVER_HINT, (word + L" Ende.").c_str());
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
    ExpectLinkOnALineOfItsOwn(dialog);
    EXPECT_EQ(before.top, ControlRect(dialog, GetDlgItem(dialog, IDOK)).top) << "two lines, as before";

    ShowHint(false);
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
    if (Dpi(dialog) == 96) ExpectTemplateLayout(dialog, TemplateLayout(), 0);
    Click(dialog, IDCANCEL);
  });
}

// Texts longer than the template's: two texts of one row wrap, so the row grows by one line
// (not two) and what lies below moves down by it, a combo box keeping its height (its closed
// one: Wine keeps the open list's height even when it is resized); a word wider than its
// label widens the label; a one-line check box wraps onto a second line.
TEST_F(OptionsDialogLayout, LongerTextsGrowTheirRowAndMoveWhatLiesBelow) {
  ShowHint(false);
  RunDialog([&](COptionsDlg&, HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LOGIN_ACTION), below = GetDlgItem(dialog, IDT_UNLOCK_EVENT);
    RECT client = {}, grown_client = {};
    GetClientRect(dialog, &client);
    const RECT list_before = ControlRect(dialog, list), below_before = ControlRect(dialog, below);
    SetDlgItemTextW(dialog, IDT_LOGIN_EVENT, L"... sich ein anderer Benutzer an diesem Computer anmeldet");
    SetDlgItemTextW(dialog, IDT_LOGIN_DELAY, L"Verz\u00f6gerung vor der Aktion:");
    SetDlgItemTextW(dialog, IDT_LOCK_UNIT, L"Sekundenbruchteile");
    // A one-line check box wraps too, and keeps its text inside the group.
    SetDlgItemTextW(dialog, IDX_PLAY_ONLY_WHEN_PAUSED,
                    L"Die Wiedergabe nur dann wieder starten, wenn Winamp zuvor von diesem Plug-in angehalten "
                    L"oder gestoppt wurde.");
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);

    ExpectEverythingReadable(dialog, TemplateLayout());
    const int line = TextSize(list, L"X", 0, DT_SINGLELINE).cy;
    const RECT list_after = ControlRect(dialog, list);
    EXPECT_EQ(list_before.top + line, list_after.top);
    EXPECT_EQ(list_before.bottom - list_before.top, list_after.bottom - list_after.top);
    EXPECT_EQ(below_before.top + line, ControlRect(dialog, below).top);
    GetClientRect(dialog, &grown_client);
    EXPECT_EQ(client.bottom + 2 * line, grown_client.bottom) << "a line for the row, one for the check box";
    Click(dialog, IDCANCEL);
  });
}

namespace {

// Runs this test program again in a process of its own with these arguments: its exit code
// (124 when it had to be ended after a minute) and what it printed.
DWORD RunAgain(const std::wstring& arguments, std::string* output) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  testing_support::TempFolder folder;
  const std::wstring log = folder.File(L"output.txt");
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  HANDLE file = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = file;
  std::wstring command = L"\"" + std::wstring(program) + L"\" " + arguments;
  PROCESS_INFORMATION child = {};
  DWORD status = 125;
  if (CreateProcessW(program, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
    if (WaitForSingleObject(child.hProcess, 60000) == WAIT_TIMEOUT) {
      TerminateProcess(child.hProcess, 124);
      WaitForSingleObject(child.hProcess, 5000);
    }
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  CloseHandle(file);
  *output = testing_support::ReadFileBytes(log);
  return status;
}

class DisplayScale : public ::testing::TestWithParam<DWORD> {};

}  // namespace

// Wine reads the DPI once, when a process starts: the layout tests run again in a process
// started while LogPixels holds the scale. The value goes again at once; should this test
// be killed before that, the next test's fresh session state removes it.
TEST_P(DisplayScale, LayoutHolds) {
  const DWORD dpi = GetParam();
  std::string output;
  DWORD status = 0;
  {
    testing_support::ScopedRegistryValue pixels(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    ASSERT_TRUE(pixels.SetRaw(REG_DWORD, &dpi, sizeof(dpi)));
    status = RunAgain(L"--gtest_filter=OptionsDialogLayout.*", &output);
  }
  EXPECT_EQ(0u, status) << output;
  EXPECT_NE(std::string::npos, output.find("laid out at " + std::to_string(dpi) + " DPI")) << output;
  EXPECT_NE(std::string::npos, output.find("[  PASSED  ] 3 tests.")) << output;
}

INSTANTIATE_TEST_SUITE_P(From125To200Percent, DisplayScale, ::testing::Values(120, 144, 168, 192));
