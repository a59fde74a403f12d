// Helpers for the dialog and link tests: the common controls the host process provides,
// running the options dialog from inside its own modal loop, and honest resource counts.
//
// Classes in this file:
//   OptionsDialogTest  - fixture that runs the real options dialog on a stand-in host.
//   ObjectCounts       - GDI objects, windows and kernel handles of this process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "reactions/reaction_settings.h"
#include "tests/common/test_support.h"
#include "ui/options_dlg.h"

namespace ui_testing {

// The host process has loaded the up-down class and the balloon tips; tests do it here.
void InitCommonControlsAsTheHostDoes();

// Shows the dialog and paints it with all its controls now. The dialog manager shows a
// dialog only once its queue is empty, so whether an opening is drawn before a test's input
// runs would otherwise depend on timing, and with it what Wine has made for the painting.
void DrawWhole(HWND dialog);

// Wine keeps up to 64 window DCs per process for reuse and adds one (a DC and its regions)
// each time a window that has none is drawn while no free one is left: the first dialog
// drawn whole adds about a hundred GDI objects, once. Counts taken after this, which fills
// that cache, show only what stays behind.
void FillWindowDcCache();

// What the control paints of itself (WM_PRINTCLIENT, its background too) into a bitmap of
// this size: rows top-down, each pixel 0x00RRGGBB.
std::vector<DWORD> PaintedPixels(HWND control, int width, int height);
// What the window shows in this part of its client area, as painted: rows top-down.
std::vector<COLORREF> ShownPixels(HWND window, const RECT& area);
// Pixels of two pictures of the same size that differ.
int Differences(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b);

// GDI objects, windows and kernel handles of this process (testing_support's probe).
struct ObjectCounts {
  int gdi = 0;
  int windows = 0;
  int kernel = 0;
};
ObjectCounts CountObjects();

std::wstring ItemText(HWND dialog, int id);
struct ListItem {
  std::wstring text;
  LRESULT code;
};
std::vector<ListItem> ListItems(HWND dialog, int list_id);
std::wstring SelectedText(HWND dialog, int list_id);
// As the user does it: select the item with this action, then the list's CBN_SELCHANGE.
void Choose(HWND dialog, int list_id, int32_t code);
// Types into a field as the keyboard does (WM_CHAR), replacing its text.
void Type(HWND dialog, int field_id, const std::wstring& text);
void Click(HWND dialog, int id);
// The message box or other popup that the dialog owns, once one is up.
HWND OwnedPopup(HWND dialog);
// A top-level window of this thread with this title (other test processes may
// show the same dialog at the same time).
HWND ThreadWindowTitled(const wchar_t* title);

// Points the link at the test's probe program, which counts its starts in a file of the
// fixture's folder (tests/ui/open_probe.cpp).
void CountOpens(CHyperLink& link, const std::wstring& count_file);
// How often the links opened: the starts counted once `expected` arrived, or 20 s passed,
// and a further half second for any start too many.
int OpensCounted(standin::StandInHost& host, const std::wstring& count_file, int expected);

}  // namespace ui_testing

class OptionsDialogTest : public HostTest {
 protected:
  void SetUp() override;

  // Runs the options dialog modally on `live`, as config does; `step` runs inside its modal
  // loop once it is up and is expected to end it. A dialog still open after 10 s is ended
  // with -2 and fails the test. Returns what RunOptionsDialog returned.
  int RunDialog(const std::function<void(COptionsDlg&, HWND)>& step);
  // Runs `task` inside whatever modal loop is running after `ms`.
  void Later(DWORD ms, std::function<void()> task) { host.After(ms, std::move(task)); }

  testing_support::TempFolder folder;
  std::wstring ini;
  ReactionSettings live;
};
