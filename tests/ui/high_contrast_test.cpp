// In Windows' high-contrast mode every link takes the scheme's link colour and the header
// the scheme's window colours, judged by the painted pixels. Wine cannot switch the mode on,
// so the seam answers for it; the scheme's colours hold for the whole session while a test
// runs (alone, and put back afterwards).
#include "tests/ui/ui_test_support.h"

#include <cmath>
#include <map>

#include "ui/hyperlink.h"
#include "ui/resource.h"

using namespace ui_testing;

namespace {

BOOL WINAPI HighContrastIsOn(UINT action, UINT size, PVOID data, UINT flags) {
  if (action != SPI_GETHIGHCONTRAST) return SystemParametersInfoW(action, size, data, flags);
  static_cast<HIGHCONTRASTW*>(data)->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
  return TRUE;
}

// A focus frame three pixels thick, as Ease of Access can set it.
BOOL WINAPI ThickFocusFrame(UINT action, UINT size, PVOID data, UINT flags) {
  if (action != SPI_GETFOCUSBORDERWIDTH && action != SPI_GETFOCUSBORDERHEIGHT) {
    return SystemParametersInfoW(action, size, data, flags);
  }
  *static_cast<UINT*>(data) = 3;
  return TRUE;
}

// The colours of Windows' "High Contrast Black" scheme, with the mode switched on, or a
// black scheme of the same colours but another link colour, with the mode off.
class BlackHighContrast {
 public:
  BlackHighContrast() : BlackHighContrast(RGB(255, 255, 0)) { SystemParameterQuery = HighContrastIsOn; }
  explicit BlackHighContrast(COLORREF link) {
    for (int i = 0; i < 6; ++i) saved_[i] = GetSysColor(Elements[i]);
    const COLORREF black[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255),
                              link,         RGB(63, 242, 63)};
    SetSysColors(6, Elements, black);
  }
  ~BlackHighContrast() {
    SystemParameterQuery = SystemParametersInfoW;
    SetSysColors(6, Elements, saved_);
  }

 private:
  static constexpr int Elements[] = {COLOR_BTNFACE,    COLOR_BTNTEXT,  COLOR_WINDOW,
                                     COLOR_WINDOWTEXT, COLOR_HOTLIGHT, COLOR_GRAYTEXT};
  COLORREF saved_[6] = {};
};

// A system colour as the painted pixels hold it (0x00RRGGBB).
DWORD Pixel(COLORREF color) { return GetRValue(color) << 16 | GetGValue(color) << 8 | GetBValue(color); }

double Luminance(DWORD pixel) {
  double sum = 0;
  const double weights[] = {0.0722, 0.7152, 0.2126};
  for (int i = 0; i < 3; ++i) {
    const double c = ((pixel >> (8 * i)) & 0xFF) / 255.0;
    sum += weights[i] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
  }
  return sum;
}

double Contrast(DWORD a, DWORD b) {
  const double la = Luminance(a) + 0.05, lb = Luminance(b) + 0.05;
  return la > lb ? la / lb : lb / la;
}

// What a text control paints: its paper (the commonest colour) and its ink (the commonest
// other one, the text's own colour where the strokes are whole pixels).
std::pair<DWORD, DWORD> PaperAndInk(HWND control) {
  RECT r = {};
  GetClientRect(control, &r);
  std::map<DWORD, int> counts;
  for (DWORD pixel : PaintedPixels(control, r.right, r.bottom)) ++counts[pixel];
  std::pair<DWORD, int> paper = {0, 0}, ink = {0, 0};
  for (const auto& count : counts) {
    if (count.second > paper.second) {
      ink = paper;
      paper = count;
    } else if (count.second > ink.second) {
      ink = count;
    }
  }
  return {paper.first, ink.first};
}

// Whether one row of the control's ink runs unbroken from its leftmost ink to its rightmost:
// an underline.
bool Underlined(HWND control) {
  RECT r = {};
  GetClientRect(control, &r);
  const std::vector<DWORD> pixels = PaintedPixels(control, r.right, r.bottom);
  const DWORD paper = PaperAndInk(control).first;
  std::vector<int> inked_columns(r.right), row_ink(r.bottom);
  for (int i = 0; i < r.right * r.bottom; ++i) {
    if (pixels[i] == paper) continue;
    inked_columns[i % r.right] = 1;
    ++row_ink[i / r.right];
  }
  int columns = 0, longest = 0;
  for (int c : inked_columns) columns += c;
  for (int n : row_ink) longest = n > longest ? n : longest;
  return columns > 0 && longest == columns;
}

}  // namespace

TEST_F(OptionsDialogTest, LinksAndHeaderTakeTheHighContrastScheme) {
  {
    BlackHighContrast scheme;
    RunDialog([](COptionsDlg& options, HWND dialog) {
      const struct {
        int id;
        int paper, ink;
      } texts[] = {{IDT_SCREENSAVER_LINK, COLOR_BTNFACE, COLOR_HOTLIGHT},
                   {IDT_WEB_LINK, COLOR_WINDOW, COLOR_HOTLIGHT},
                   {IDT_TITLE, COLOR_WINDOW, COLOR_WINDOWTEXT},
                   {IDT_COPYRIGHT, COLOR_WINDOW, COLOR_WINDOWTEXT}};
      for (const auto& text : texts) {
        const std::pair<DWORD, DWORD> painted = PaperAndInk(GetDlgItem(dialog, text.id));
        EXPECT_EQ(Pixel(GetSysColor(text.paper)), painted.first) << text.id;
        EXPECT_EQ(Pixel(GetSysColor(text.ink)), painted.second) << text.id;
        EXPECT_GE(Contrast(painted.first, painted.second), 4.5) << text.id;
      }
      options.ScreenSaverLink.Open();  // visited: still the scheme's colour
      EXPECT_EQ(Pixel(GetSysColor(COLOR_HOTLIGHT)), PaperAndInk(GetDlgItem(dialog, IDT_SCREENSAVER_LINK)).second);
      Click(dialog, IDCANCEL);
    });
    EXPECT_NE(0u, GetObjectType(GetSysColorBrush(COLOR_WINDOW))) << "the system's brush is never deleted";
  }
  // In the usual colours everything stays as it was: blue links, the header on white.
  RunDialog([](COptionsDlg&, HWND dialog) {
    EXPECT_EQ(std::make_pair(DWORD{0xFFFFFF}, DWORD{0x0000FF}), PaperAndInk(GetDlgItem(dialog, IDT_WEB_LINK)));
    EXPECT_EQ(DWORD{0xFFFFFF}, PaperAndInk(GetDlgItem(dialog, IDT_TITLE)).first);
    EXPECT_EQ(DWORD{0x0000FF}, PaperAndInk(GetDlgItem(dialog, IDT_SCREENSAVER_LINK)).second);
    Click(dialog, IDCANCEL);
  });
}

// Dark colours without the high-contrast mode: a link keeps its fixed blue only where it
// reaches 4.5:1 against what is painted behind it (the white header), else it takes the
// scheme's link colour, or where that is too dark as well, the window text's, underlined.
TEST_F(OptionsDialogTest, LinksStayReadableInADarkSchemeWithoutHighContrast) {
  const struct {
    COLORREF link;
    int ink;
  } schemes[] = {{RGB(102, 178, 255), COLOR_HOTLIGHT}, {RGB(0, 102, 204), COLOR_WINDOWTEXT}};
  for (const auto& scheme : schemes) {
    BlackHighContrast dark(scheme.link);
    RunDialog([&](COptionsDlg& options, HWND dialog) {
      for (bool visited : {false, true}) {
        options.ScreenSaverLink.Visited = visited;  // purple, as dark as blue
        options.ScreenSaverLink.KeepUnvisitedColor = !visited;
        const std::pair<DWORD, DWORD> painted = PaperAndInk(GetDlgItem(dialog, IDT_SCREENSAVER_LINK));
        EXPECT_EQ(Pixel(GetSysColor(COLOR_BTNFACE)), painted.first);
        EXPECT_EQ(Pixel(GetSysColor(scheme.ink)), painted.second) << std::hex << scheme.link;
        EXPECT_GE(Contrast(painted.first, painted.second), 4.5) << std::hex << scheme.link;
        EXPECT_EQ(scheme.ink == COLOR_WINDOWTEXT, Underlined(GetDlgItem(dialog, IDT_SCREENSAVER_LINK)))
            << "in plain text's colour, and only then, a link is underlined: " << std::hex << scheme.link;
      }
      EXPECT_EQ(DWORD{0x0000FF}, PaperAndInk(GetDlgItem(dialog, IDT_WEB_LINK)).second) << "blue on white";
      Click(dialog, IDCANCEL);
    });
  }
}

// Dots of the frame that a focused link paints along its edge, as shown: its top row holds
// nothing else (a line of text starts with the font's internal leading).
int FocusFrameDots(HWND link, COLORREF around) {
  RECT r = {};
  GetClientRect(link, &r);
  r.bottom = 1;
  int dots = 0;
  for (COLORREF pixel : ShownPixels(link, r)) dots += pixel != around;
  return dots;
}

// Switched on while the dialog is open, as Windows announces it: the dialog is painted again
// in the scheme's colours at once, and a focused link keeps its focus frame, which leaves no
// trace once the focus moves on. A thicker focus frame gets its room around the links at once.
TEST_F(OptionsDialogTest, SwitchingHighContrastRepaintsTheOpenDialogAndKeepsTheLinksFocus) {
  BlackHighContrast scheme;
  SystemParameterQuery = SystemParametersInfoW;  // the usual colours at first
  RunDialog([](COptionsDlg&, HWND dialog) {
    DrawWhole(dialog);
    HWND link = GetDlgItem(dialog, IDT_WEB_LINK);
    SetFocus(link);
    UpdateWindow(link);
    EXPECT_LT(0, FocusFrameDots(link, RGB(255, 255, 255)));
    SystemParameterQuery = HighContrastIsOn;
    SendMessageW(dialog, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    HDC dc = GetDC(dialog);
    EXPECT_EQ(window, GetPixel(dc, 2, 2)) << "the header waits for a repaint";
    ReleaseDC(dialog, dc);
    EXPECT_LT(0, FocusFrameDots(link, window)) << "the focus frame went with the repaint";
    SetFocus(GetDlgItem(dialog, IDOK));
    UpdateWindow(link);
    EXPECT_EQ(0, FocusFrameDots(link, window)) << "a focus frame stayed behind";

    RECT thin = {}, thick = {};
    GetClientRect(link, &thin);
    SystemParameterQuery = ThickFocusFrame;
    SendMessageW(dialog, WM_SETTINGCHANGE, SPI_SETFOCUSBORDERWIDTH, 0);
    GetClientRect(link, &thick);
    SystemParameterQuery = SystemParametersInfoW;
    EXPECT_EQ(thin.right + 4, thick.right) << "two pixels more on either side";
    EXPECT_EQ(thin.bottom + 4, thick.bottom);
    Click(dialog, IDCANCEL);
  });
}
