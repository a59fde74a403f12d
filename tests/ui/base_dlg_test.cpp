// The dialog base: which messages reach the object, and that its results reach the dialog
// manager unchanged.
#include "ui/base_dlg.h"

#include <vector>

#include "tests/ui/ui_test_support.h"

namespace {

class RecordingDlg final : public CBaseDlg {
 public:
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM, LPARAM) override {
    seen.push_back(message);
    if (message == WM_INITDIALOG && end_at_init) EndDialog(window, end_at_init);
    if (message == WM_CTLCOLORSTATIC) return reinterpret_cast<INT_PTR>(brush);
    return message == WM_INITDIALOG ? TRUE : 0;
  }
  int Count(UINT message) const {
    int n = 0;
    for (UINT m : seen) n += m == message;
    return n;
  }
  std::vector<UINT> seen;
  HBRUSH brush = nullptr;
  INT_PTR end_at_init = 0;
};

// A small template with a font, so that WM_SETFONT arrives before WM_INITDIALOG.
struct SmallTemplate {
  DLGTEMPLATE dialog;
  WORD menu, window_class, title;
  WORD point_size;
  wchar_t face[13];
};

}  // namespace

TEST(DialogBase, ObjectIsBoundFromInitDialogThroughDestroy) {
  SmallTemplate t = {};
  t.dialog.style = WS_POPUP | DS_SETFONT;
  t.dialog.cx = 100;
  t.dialog.cy = 50;
  t.point_size = 8;
  wcscpy(t.face, L"MS Shell Dlg");
  RecordingDlg object;
  object.brush = CreateSolidBrush(RGB(1, 2, 3));
  HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &t.dialog, nullptr, CBaseDlg::StaticDialogProc,
                                           reinterpret_cast<LPARAM>(&object));
  ASSERT_NE(nullptr, window);
  ASSERT_FALSE(object.seen.empty());
  EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), object.seen.front()) << "nothing before WM_INITDIALOG";
  EXPECT_EQ(0, object.Count(WM_SETFONT));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&object), GetWindowLongPtrW(window, GWLP_USERDATA));

  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(reinterpret_cast<LRESULT>(object.brush),
            SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0));
  DeleteDC(dc);

  DestroyWindow(window);
  EXPECT_EQ(1, object.Count(WM_DESTROY));
  EXPECT_EQ(static_cast<UINT>(WM_DESTROY), object.seen.back()) << "WM_NCDESTROY and later reach no object";
  DeleteObject(object.brush);
}

TEST_F(OptionsDialogTest, RunOptionsDialogReturnsWhatEndDialogWasGiven) {
  RecordingDlg object;
  object.end_at_init = 7;
  EXPECT_EQ(7, RunOptionsDialog(GetModuleHandleW(nullptr), host.Window(), &object));

  // Without an object every message gets the default handling; the dialog still runs.
  Later(1, [] {
    HWND dialog = ui_testing::ThreadWindowTitled(L"\"Quillary\" - Einstellungen");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(0, GetWindowLongPtrW(dialog, GWLP_USERDATA));
    EndDialog(dialog, 5);
  });
  EXPECT_EQ(5, RunOptionsDialog(GetModuleHandleW(nullptr), host.Window(), nullptr));
}
