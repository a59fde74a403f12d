// Links on static controls of a plain parent window of the test's own, so every message the
// parent and the static control receive can be watched.
#include "ui/hyperlink.h"

#include <algorithm>
#include <string>
#include <vector>

#include "tests/common/test_support.h"

namespace {

constexpr COLORREF ParentTextColour = RGB(0, 128, 0);

// The parent answers WM_CTLCOLORSTATIC with its own brush and text colour, and notes which
// procedure it has when it is destroyed.
struct Parent {
  static HBRUSH brush;
  static LONG_PTR procedure_at_destroy;
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC) {
      SetTextColor(reinterpret_cast<HDC>(wParam), ParentTextColour);
      return reinterpret_cast<LRESULT>(brush);
    }
    if (message == WM_DESTROY) procedure_at_destroy = GetWindowLongPtrW(window, GWLP_WNDPROC);
    return DefWindowProcW(window, message, wParam, lParam);
  }
};
HBRUSH Parent::brush = nullptr;
LONG_PTR Parent::procedure_at_destroy = 0;

// Sits between a link and the static control, recording what the link passes on.
struct StaticRecorder {
  static std::vector<UINT> seen;
  static WNDPROC static_proc;
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(message);
    return CallWindowProcW(static_proc, window, message, wParam, lParam);
  }
  static bool Saw(UINT message) {
    for (UINT m : seen) {
      if (m == message) return true;
    }
    return false;
  }
};
std::vector<UINT> StaticRecorder::seen;
WNDPROC StaticRecorder::static_proc = nullptr;

class CountingLink : public CHyperLink {
 public:
  void OnHighlight() override { ++highlights; }
  void OnUnhighlight() override { ++unhighlights; }
  int highlights = 0;
  int unhighlights = 0;
};

class LinkTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Parent::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillaryLinkTestParent";
    RegisterClassW(&wc);
    Parent::brush = CreateSolidBrush(RGB(255, 255, 0));
    parent = CreateWindowExW(0, wc.lpszClassName, L"links", WS_POPUP | WS_VISIBLE, 50, 50, 400, 200, nullptr, nullptr,
                             wc.hInstance, nullptr);
    ASSERT_NE(nullptr, parent);
    font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    other_font = CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Courier New");
  }
  void TearDown() override {
    if (IsWindow(parent)) DestroyWindow(parent);
    DeleteObject(font);
    DeleteObject(other_font);
    DeleteObject(Parent::brush);
    HostTest::TearDown();
  }
  HWND MakeStatic(int id, HFONT with_font, bool recorded = false) {
    HWND control =
        CreateWindowExW(0, L"STATIC", L"link text", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10 + 30 * (id % 5), 200, 20,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(with_font), FALSE);
    if (recorded) {
      StaticRecorder::seen.clear();
      StaticRecorder::static_proc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticRecorder::Proc)));
    }
    return control;
  }
  static HFONT FontOf(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }
  // The text colour and brush that the parent's procedure gives a static control.
  COLORREF ColourOf(HWND control, LRESULT* brush = nullptr) {
    HDC dc = CreateCompatibleDC(nullptr);
    const LRESULT result =
        SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    const COLORREF colour = GetTextColor(dc);
    DeleteDC(dc);
    if (brush) *brush = result;
    return colour;
  }

  HWND parent = nullptr;
  HFONT font = nullptr;
  HFONT other_font = nullptr;
};

const LONG_PTR LinkParentProcedure = reinterpret_cast<LONG_PTR>(&CHyperLink::LinkParentWndProc);

}  // namespace

TEST_F(LinkTest, PropertiesAreNamedByTheModulesAtom) {
  ASSERT_NE(0, LinkPropertyAtom);
  EXPECT_EQ(LinkPropertyAtom, GlobalFindAtomW(LinkPropertyName));
  CHyperLink link;
  HWND control = MakeStatic(1, font);
  ASSERT_TRUE(link.Attach(control, L"x"));
  // Anyone who asks by the text finds the same properties.
  EXPECT_EQ(&link, GetPropW(control, L"_Hyperlink_Object_Pointer_\\{AFEED740-CC6D-47c5-831D-9848FD916EEF}"));
  EXPECT_NE(nullptr, GetPropW(parent, LinkPropertyName));
  EXPECT_TRUE(GetWindowLongW(control, GWL_STYLE) & SS_NOTIFY) << "static controls see the mouse only with SS_NOTIFY";
}

TEST_F(LinkTest, ParentIsSubclassedOnceAndGetsItsOwnProcedureBack) {
  CHyperLink first, second;
  MakeStatic(1, font);
  MakeStatic(2, font);
  ASSERT_TRUE(first.Attach(parent, 1, L"a"));
  EXPECT_EQ(LinkParentProcedure, GetWindowLongPtrW(parent, GWLP_WNDPROC));
  ASSERT_TRUE(second.Attach(parent, 2, L"b"));
  EXPECT_EQ(reinterpret_cast<HANDLE>(&Parent::Proc), GetPropW(parent, LinkPropertyName))
      << "the second link must not store the parent's link procedure as its own";
  EXPECT_EQ(2, LinkCount);
  DestroyWindow(parent);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&Parent::Proc), Parent::procedure_at_destroy);
  EXPECT_EQ(0, LinkCount);
}

TEST_F(LinkTest, AttachNeedsALiveControl) {
  CHyperLink link;
  EXPECT_FALSE(link.Attach(parent, 99, L"nowhere"));
  EXPECT_FALSE(link.Attach(nullptr, L"nowhere"));
  EXPECT_EQ(0, LinkCount) << "a count without a window would never be undone";
  EXPECT_EQ(nullptr, UnderlineFont);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&Parent::Proc), GetWindowLongPtrW(parent, GWLP_WNDPROC));
}

// The link's colour goes on top of what the parent chose; the parent's brush stays.
TEST_F(LinkTest, ColourFollowsVisitedUnlessKeptUnvisited) {
  CHyperLink link;
  HWND control = MakeStatic(1, font);
  HWND plain = MakeStatic(2, font);
  ASSERT_TRUE(link.Attach(control, L"x"));
  const struct {
    bool visited, keep;
    COLORREF colour;
  } cases[] = {{false, false, LinkUnvisitedColor},
               {false, true, LinkUnvisitedColor},
               {true, true, LinkUnvisitedColor},
               {true, false, LinkVisitedColor}};
  for (const auto& c : cases) {
    link.Visited = c.visited;
    link.KeepUnvisitedColor = c.keep;
    LRESULT brush = 0;
    EXPECT_EQ(c.colour, ColourOf(control, &brush)) << c.visited << c.keep;
    EXPECT_EQ(reinterpret_cast<LRESULT>(Parent::brush), brush);
  }
  EXPECT_EQ(ParentTextColour, ColourOf(plain)) << "other statics keep the parent's colours";
}

TEST_F(LinkTest, HoverUnderlinesUntilTheMouseLeaves) {
  CountingLink link;
  HWND control = MakeStatic(1, font, true);
  ASSERT_TRUE(link.Attach(control, L"x"));
  RECT client;
  GetClientRect(control, &client);

  SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(link.Hovering);
  EXPECT_EQ(control, GetCapture());
  EXPECT_EQ(UnderlineFont, FontOf(control));
  EXPECT_EQ(1, link.highlights);
  SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(client.right - 1, client.bottom - 1));
  EXPECT_EQ(1, link.highlights) << "moves inside after the start do nothing more";
  EXPECT_EQ(control, GetCapture());

  // Outside on each side, the left and top ones reading as large unsigned values.
  const LPARAM outside[] = {MAKELPARAM(client.right, 5), MAKELPARAM(5, client.bottom), MAKELPARAM(-1, 5),
                            MAKELPARAM(5, -1)};
  for (LPARAM point : outside) {
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(link.Hovering);
    SendMessageW(control, WM_MOUSEMOVE, 0, point);
    EXPECT_FALSE(link.Hovering) << std::hex << point;
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(font, FontOf(control));
  }
  EXPECT_EQ(4, link.highlights);
  EXPECT_EQ(4, link.unhighlights);

  // Any other loss of the capture ends the hover the same way.
  SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  SetCapture(parent);
  EXPECT_FALSE(link.Hovering);
  EXPECT_EQ(font, FontOf(control));
  ReleaseCapture();
  EXPECT_FALSE(StaticRecorder::Saw(WM_MOUSEMOVE)) << "mouse moves never reach the static control";
}

TEST_F(LinkTest, FocusAndHoverHighlightsNest) {
  CountingLink link;
  HWND control = MakeStatic(1, font, true);
  ASSERT_TRUE(link.Attach(control, L"x"));
  SendMessageW(control, WM_SETFOCUS, 0, 0);
  SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(2, link.highlights);
  ReleaseCapture();
  EXPECT_EQ(1, link.unhighlights);
  SendMessageW(control, WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(2, link.unhighlights);
  EXPECT_FALSE(StaticRecorder::Saw(WM_SETFOCUS));
  EXPECT_FALSE(StaticRecorder::Saw(WM_KILLFOCUS));
}

TEST_F(LinkTest, ShowsTheHandAndPassesOtherKeysOn) {
  CHyperLink link;
  HWND control = MakeStatic(1, font, true);
  ASSERT_TRUE(link.Attach(control, L"x"));
  EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), HandCursor);
  EXPECT_EQ(TRUE, SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, 0)));
  EXPECT_EQ(HandCursor, GetCursor());
  EXPECT_FALSE(StaticRecorder::Saw(WM_SETCURSOR));
  SendMessageW(control, WM_KEYUP, 'A', 0);
  SendMessageW(control, WM_KEYUP, VK_RETURN, 0);
  EXPECT_EQ(2, std::count(StaticRecorder::seen.begin(), StaticRecorder::seen.end(), UINT(WM_KEYUP)));
  EXPECT_FALSE(link.Visited);
}

TEST_F(LinkTest, SharedFontFollowsTheFirstLinkAndIsRemadeAfterTheLast) {
  HWND first_control = MakeStatic(1, font);
  HWND second_control = MakeStatic(2, other_font);
  {
    CHyperLink first, second;
    ASSERT_TRUE(first.Attach(first_control, L"a"));
    ASSERT_TRUE(second.Attach(second_control, L"b"));
    LOGFONTW made = {}, base = {};
    GetObjectW(UnderlineFont, sizeof(made), &made);
    GetObjectW(font, sizeof(base), &base);
    EXPECT_EQ(1, made.lfUnderline);
    EXPECT_STREQ(base.lfFaceName, made.lfFaceName);
    EXPECT_EQ(base.lfHeight, made.lfHeight);
    // The second link shows the first link's font, underlined, while hovered.
    SendMessageW(second_control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(UnderlineFont, FontOf(second_control));
    ReleaseCapture();
    EXPECT_EQ(other_font, FontOf(second_control));

    HFONT shared = UnderlineFont;
    DestroyWindow(first_control);
    EXPECT_EQ(shared, UnderlineFont) << "one link is still alive";
    DestroyWindow(second_control);
    EXPECT_EQ(0, LinkCount);
    EXPECT_EQ(nullptr, UnderlineFont);
    EXPECT_EQ(nullptr, HandCursor);
    EXPECT_EQ(0u, GetObjectType(shared));
  }
  CHyperLink later;
  HWND later_control = MakeStatic(3, other_font);
  ASSERT_TRUE(later.Attach(later_control, L"c"));
  LOGFONTW remade = {}, base = {};
  GetObjectW(UnderlineFont, sizeof(remade), &remade);
  GetObjectW(other_font, sizeof(base), &base);
  EXPECT_STREQ(base.lfFaceName, remade.lfFaceName);
  EXPECT_EQ(1, remade.lfUnderline);
  EXPECT_NE(nullptr, HandCursor);
}

TEST_F(LinkTest, DestroyRestoresTheStaticAndItsFont) {
  CHyperLink link;
  HWND control = MakeStatic(1, font, true);
  ASSERT_TRUE(link.Attach(control, L"x"));
  SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));  // hovering: the underlined font is set
  StaticRecorder::seen.clear();
  DestroyWindow(control);
  EXPECT_TRUE(StaticRecorder::Saw(WM_DESTROY)) << "the static control's own procedure sees WM_DESTROY";
  EXPECT_TRUE(StaticRecorder::Saw(WM_SETFONT)) << "its font was put back first";
  EXPECT_EQ(0, LinkCount);
}

namespace {

std::wstring ProbePath() { return standin::ProgramFolder() + L"open_probe.exe"; }

// The probe marks its result complete only once it no longer holds the file.
bool ProbeFinished(const std::wstring& result) { return testing_support::FileExists(result + L".done"); }

}  // namespace

// The target is a program of the test's own that writes down its arguments, so the test
// sees what the shell really started. The colour changes at the next repaint only.
TEST_F(LinkTest, SpaceAndClickOpenTheTargetThroughTheShell) {
  testing_support::TempFolder folder;
  CHyperLink link;
  HWND control = MakeStatic(1, font);
  ASSERT_TRUE(link.Attach(control, ProbePath().c_str()));
  const std::wstring by_space = folder.File(L"space.txt");
  const std::wstring by_click = folder.File(L"click.txt");
  ASSERT_TRUE(link.SetParameters((L"\"" + by_space + L"\" one \"two words\"").c_str()));

  UpdateWindow(parent);
  ValidateRect(control, nullptr);
  SendMessageW(control, WM_KEYUP, VK_SPACE, 0);
  EXPECT_TRUE(link.Visited);
  EXPECT_FALSE(GetUpdateRect(control, nullptr, FALSE)) << "no repaint is asked for at once";
  EXPECT_EQ(LinkVisitedColor, ColourOf(control)) << "the next repaint shows the visited colour";
  ASSERT_TRUE(host.PumpUntil([&] { return ProbeFinished(by_space); }, 20000));
  EXPECT_EQ("one|two words", testing_support::ReadFileBytes(by_space));

  ASSERT_TRUE(link.SetParameters((L"\"" + by_click + L"\"").c_str()));
  SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ValidateRect(control, nullptr);
  SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ReleaseCapture();  // the hover ends, and with it comes the repaint
  EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE));
  ASSERT_TRUE(host.PumpUntil([&] { return ProbeFinished(by_click); }, 20000));
  EXPECT_EQ("", testing_support::ReadFileBytes(by_click));
}
