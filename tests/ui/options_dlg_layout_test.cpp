// The screen saver hint with the dialog's real font: its link never covers the hint's text
// and stays inside "Weitere Optionen", which makes room for a line of the link's own only
// while the hint shows. Measured as rectangles and text extents. (Alone: the registry values
// that show the hint are shared by every process of the prefix.)
#include "tests/ui/ui_test_support.h"

#include "ui/resource.h"

using namespace ui_testing;
using testing_support::ScopedRegistryValue;

namespace {

RECT ControlRect(HWND dialog, int id) {
  RECT r = {};
  GetWindowRect(GetDlgItem(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Where the template puts a control, in this dialog's pixels.
RECT TableRect(HWND dialog, int x, int y, int cx, int cy) {
  RECT r = {x, y, x + cx, y + cy};
  MapDialogRect(dialog, &r);
  return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The hint's text as its static control breaks it: its font, its width.
struct HintText {
  int lines;
  int line;
  int width;  // of a given single line of text
};
HintText Measure(HWND dialog, const std::wstring& single_line = L" ") {
  HWND hint = GetDlgItem(dialog, IDT_SCREENSAVER_HINT);
  HDC dc = GetDC(hint);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hint, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  RECT area = {};
  GetClientRect(hint, &area);
  const std::wstring text = ItemText(dialog, IDT_SCREENSAVER_HINT);
  DrawTextW(dc, text.c_str(), -1, &area, DT_WORDBREAK | DT_EXPANDTABS | DT_CALCRECT);
  SIZE extent = {};
  GetTextExtentPoint32W(dc, single_line.c_str(), static_cast<int>(single_line.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(hint, dc);
  return {(area.bottom - area.top) / metrics.tmHeight, metrics.tmHeight, extent.cx};
}

}  // namespace

TEST_F(OptionsDialogTest, ScreenSaverHintLinkNeverCoversItsTextAndTheGroupMakesRoom) {
  ScopedRegistryValue secure(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure");
  ScopedRegistryValue no_return(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"NoAutoReturnToWelcome");
  secure.SetString(L"0");
  no_return.SetString(L"1");
  HWND reference =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 40, 800, 760, nullptr, nullptr, nullptr, nullptr);
  host.SetDialogParentAnswer(reinterpret_cast<LRESULT>(reference));
  // Defaults, answered Yes: the hint is judged and laid out again.
  const auto defaults = [this](HWND dialog) {
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
  };

  RunDialog([&](COptionsDlg&, HWND dialog) {
    const RECT table_link = TableRect(dialog, 136, 253, 196, 8);
    const RECT table_group = TableRect(dialog, 7, 174, 351, 91);
    const RECT table_ok = TableRect(dialog, 254, 271, 50, 14);
    const RECT hint = ControlRect(dialog, IDT_SCREENSAVER_HINT);
    RECT own = {};
    GetWindowRect(dialog, &own);
    RECT client = {};
    GetClientRect(dialog, &client);
    const auto grown = [&](int by) {
      const RECT group = ControlRect(dialog, IDG_OPTIONS);
      EXPECT_EQ(table_group.bottom + by, group.bottom);
      EXPECT_EQ(table_group.top, group.top);
      EXPECT_EQ(table_ok.top + by, ControlRect(dialog, IDOK).top);
      EXPECT_EQ(table_ok.top + by, ControlRect(dialog, IDB_DEFAULTS).top);
      EXPECT_TRUE(Inside(ControlRect(dialog, IDT_SCREENSAVER_LINK), group));
    };

    // The template's text: the link either follows the last line or has a line of its own.
    HintText text = Measure(dialog);
    RECT link = ControlRect(dialog, IDT_SCREENSAVER_LINK);
    const int text_bottom = hint.top + text.lines * text.line;
    std::printf("[ figure   ] hint: %d lines of %d px; link at %ld,%ld (template %ld,%ld)\n", text.lines, text.line,
                link.left, link.top, table_link.left, table_link.top);
    if (link.top >= text_bottom) {
      EXPECT_EQ(text_bottom, link.top);
      EXPECT_EQ(hint.left, link.left);
      grown(link.bottom - table_link.bottom);
      EXPECT_EQ(text.line, link.bottom - table_link.bottom) << "the link's own line, no more";
    } else {
      EXPECT_EQ(hint.top + (text.lines - 1) * text.line, link.top);
      grown(0);
    }
    const std::wstring link_text = ItemText(dialog, IDT_SCREENSAVER_LINK);
    EXPECT_GE(link.right - link.left, Measure(dialog, link_text).width) << "the whole link can be read";
    // Centred on the reference with the size it has now.
    EXPECT_EQ(100 + (800 - (own.right - own.left)) / 2, own.left);
    EXPECT_EQ(40 + (760 - (own.bottom - own.top)) / 2, own.top);
    EXPECT_TRUE(Inside(ControlRect(dialog, IDCANCEL), client));

    // Two lines whose last is short: the link goes after it, a space's width apart.
    std::wstring word = L"x";
    while (Measure(dialog, word + L" Ende.").width <= hint.right - hint.left) word += L"x";
    SetDlgItemTextW(dialog, IDT_SCREENSAVER_HINT, (word + L" Ende.").c_str());
    defaults(dialog);
    text = Measure(dialog);
    link = ControlRect(dialog, IDT_SCREENSAVER_LINK);
    ASSERT_EQ(2, text.lines);
    EXPECT_EQ(hint.top + text.line, link.top);
    EXPECT_EQ(hint.left + Measure(dialog, L"Ende.").width + Measure(dialog, L" ").width, link.left);
    EXPECT_LE(link.right, hint.right);
    grown(0);

    // One line that leaves no room for the link: the line under it.
    SetDlgItemTextW(dialog, IDT_SCREENSAVER_HINT, word.c_str());
    defaults(dialog);
    link = ControlRect(dialog, IDT_SCREENSAVER_LINK);
    EXPECT_EQ(hint.top + Measure(dialog).line, link.top);
    EXPECT_EQ(hint.left, link.left);
    grown(link.bottom > table_link.bottom ? link.bottom - table_link.bottom : 0);

    // Hidden again after Defaults: the template's layout exactly.
    secure.SetString(L"1");
    defaults(dialog);
    EXPECT_EQ(table_link.left, ControlRect(dialog, IDT_SCREENSAVER_LINK).left);
    EXPECT_EQ(table_link.top, ControlRect(dialog, IDT_SCREENSAVER_LINK).top);
    grown(0);
    RECT hidden = {};
    GetClientRect(dialog, &hidden);
    EXPECT_EQ(TableRect(dialog, 0, 0, 365, 292).bottom, hidden.bottom);
    Click(dialog, IDCANCEL);
  });
  DestroyWindow(reference);
}
