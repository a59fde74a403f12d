// The screen saver hint with the dialog's real font: its link never covers the hint's text
// and stays inside "Weitere Optionen", which makes room for a line of the link's own only
// while the hint shows. (Alone: the registry values are shared by every process.)
#include "tests/ui/ui_test_support.h"

#include "ui/resource.h"

using namespace ui_testing;

namespace {

RECT ControlRect(HWND dialog, int id) {
  RECT r = {};
  GetWindowRect(GetDlgItem(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Lines of the hint's text as its control breaks it, and the extent of one line of text.
SIZE Measure(HWND dialog, const std::wstring& line, int* lines = nullptr) {
  HWND hint = GetDlgItem(dialog, IDT_SCREENSAVER_HINT);
  HDC dc = GetDC(hint);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hint, WM_GETFONT, 0, 0)));
  RECT area = {};
  GetClientRect(hint, &area);
  const std::wstring text = ItemText(dialog, IDT_SCREENSAVER_HINT);
  const int height = DrawTextW(dc, text.c_str(), -1, &area, DT_WORDBREAK | DT_EXPANDTABS | DT_CALCRECT);
  SIZE extent = {};
  GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &extent);
  if (lines) *lines = height / extent.cy;
  SelectObject(dc, old);
  ReleaseDC(hint, dc);
  return extent;
}

}  // namespace

TEST_F(OptionsDialogTest, ScreenSaverHintLinkNeverCoversItsTextAndTheGroupMakesRoom) {
  testing_support::ScopedRegistryValue secure(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure");
  testing_support::ScopedRegistryValue no_return(HKEY_CURRENT_USER, L"Control Panel\\Desktop",
                                                 L"NoAutoReturnToWelcome");
  secure.SetString(L"0");
  no_return.SetString(L"1");
  HWND reference = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 40, 800, 760, nullptr, nullptr, nullptr, nullptr);
  host.SetDialogParentAnswer(reinterpret_cast<LRESULT>(reference));

  RunDialog([&](COptionsDlg&, HWND dialog) {
    RECT table_link = {136, 253, 136 + 196, 253 + 8}, table_group = {7, 174, 7 + 351, 174 + 91};
    RECT table_ok = {254, 271, 254 + 50, 271 + 14}, table_dialog = {0, 0, 365, 292};
    for (RECT* r : {&table_link, &table_group, &table_ok, &table_dialog}) MapDialogRect(dialog, r);
    const RECT hint = ControlRect(dialog, IDT_SCREENSAVER_HINT);
    // The group, the OK button under it and the dialog grew by `by`; the link stays inside.
    const auto grown = [&](int by) {
      const RECT group = ControlRect(dialog, IDG_OPTIONS), link = ControlRect(dialog, IDT_SCREENSAVER_LINK);
      EXPECT_EQ(table_group.bottom + by, group.bottom);
      EXPECT_EQ(table_ok.top + by, ControlRect(dialog, IDOK).top);
      EXPECT_TRUE(link.left >= group.left && link.right <= group.right && link.bottom <= group.bottom);
      RECT client = {};
      GetClientRect(dialog, &client);
      EXPECT_EQ(table_dialog.bottom + by, client.bottom);
    };

    // The template's text: with Tahoma 8 the link cannot follow the last line.
    int lines = 0;
    const SIZE space = Measure(dialog, L" ", &lines);
    RECT link = ControlRect(dialog, IDT_SCREENSAVER_LINK);
    std::printf("[ figure   ] hint: %d lines of %ld px; link at %ld,%ld\n", lines, space.cy, link.left, link.top);
    EXPECT_EQ(hint.top + lines * space.cy, link.top) << "the link's own line, under the text";
    EXPECT_EQ(hint.left, link.left);
    EXPECT_GE(link.right - link.left, Measure(dialog, ItemText(dialog, IDT_SCREENSAVER_LINK)).cx) << "readable";
    EXPECT_EQ(space.cy, link.bottom - table_link.bottom) << "one line more, no more";
    grown(space.cy);
    RECT own = {};
    GetWindowRect(dialog, &own);
    EXPECT_EQ(40 + (760 - (own.bottom - own.top)) / 2, own.top) << "centred with its final size";

    // Two lines, the last one short: the link follows it, a space apart, in the room it had.
    std::wstring word = L"x";
    while (Measure(dialog, word + L" Ende.").cx <= hint.right - hint.left) word += L"x";
    SetDlgItemTextW(dialog, IDT_SCREENSAVER_HINT, (word + L" Ende.").c_str());
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
    link = ControlRect(dialog, IDT_SCREENSAVER_LINK);
    EXPECT_EQ(hint.top + space.cy, link.top);
    EXPECT_EQ(hint.left + Measure(dialog, L"Ende.").cx + space.cx, link.left);
    grown(0);

    // Hidden again: the template's layout exactly.
    secure.SetString(L"1");
    Later(1, [dialog] { Click(OwnedPopup(dialog), IDYES); });
    Click(dialog, IDB_DEFAULTS);
    link = ControlRect(dialog, IDT_SCREENSAVER_LINK);
    EXPECT_EQ(table_link.left, link.left);
    EXPECT_EQ(table_link.top, link.top);
    grown(0);
    Click(dialog, IDCANCEL);
  });
  DestroyWindow(reference);
}
