#include "ui/hyperlink.h"

#include <oleacc.h>
#include <shellapi.h>

#include <cwchar>
#include <new>

#include "ui/accessible.h"

ATOM LinkPropertyAtom = 0;
LONG LinkCount = 0;
HFONT UnderlineFont = nullptr;
HCURSOR HandCursor = nullptr;
SystemParameterQueryFunction SystemParameterQuery = SystemParametersInfoW;

bool HighContrastOn() {
  HIGHCONTRASTW mode = {};
  mode.cbSize = sizeof(mode);
  return SystemParameterQuery(SPI_GETHIGHCONTRAST, sizeof(mode), &mode, 0) && (mode.dwFlags & HCF_HIGHCONTRASTON);
}

namespace {

// The property atom lives exactly as long as the module: added when its static objects are
// constructed, deleted when they are destroyed.
struct LinkAtomRegistration {
  LinkAtomRegistration() { LinkPropertyAtom = GlobalAddAtomW(LinkPropertyName); }
  ~LinkAtomRegistration() {
    if (LinkPropertyAtom) GlobalDeleteAtom(LinkPropertyAtom);
    LinkPropertyAtom = 0;
  }
};
LinkAtomRegistration AtomRegistration;

const wchar_t* PropertyName() { return MAKEINTATOM(LinkPropertyAtom); }

CHyperLink* LinkOf(HWND control) { return static_cast<CHyperLink*>(GetPropW(control, PropertyName())); }

bool CopyText(const wchar_t* text, wchar_t*& field) {
  delete[] field;
  field = nullptr;
  if (!text) return false;
  const size_t length = wcslen(text) + 1;
  wchar_t* copy = new (std::nothrow) wchar_t[length];
  if (!copy) return false;
  wmemcpy(copy, text, length);
  field = copy;
  return true;
}

// The shared underlined font follows the first attached link's font. A control without a
// readable font draws in the system font, so that is the one underlined then.
HFONT MakeUnderlineFont(HFONT font) {
  LOGFONTW description = {};
  if (!font || GetObjectW(font, sizeof(description), &description) != sizeof(description)) {
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(description), &description);
  }
  description.lfUnderline = 1;
  return CreateFontIndirectW(&description);
}

// One link fewer; the last one frees the shared font and forgets the cursor.
void ReleaseSharedResources() {
  if (--LinkCount > 0) return;
  HandCursor = nullptr;
  if (UnderlineFont) DeleteObject(UnderlineFont);
  UnderlineFont = nullptr;
}

void SetControlFont(HWND control, HFONT font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// x to the power 2.4 for x in (0, 1]: x squared times the square of its fifth root, which
// Newton's method approaches from 1 (MinGW would link in its own pow, nearly 3 KB).
double PowerOf2Point4(double x) {
  double root = 1;
  for (int i = 0; i < 8; ++i) root = (4 * root + x / (root * root * root * root)) / 5;
  return x * x * root * root;
}

// WCAG's relative luminance and contrast ratio, which normal text should bring to 4.5:1.
double Luminance(COLORREF color) {
  const BYTE parts[] = {GetRValue(color), GetGValue(color), GetBValue(color)};
  const double weights[] = {0.2126, 0.7152, 0.0722};
  double sum = 0;
  for (int i = 0; i < 3; ++i) {
    const double c = parts[i] / 255.0;
    sum += weights[i] * (c <= 0.03928 ? c / 12.92 : PowerOf2Point4((c + 0.055) / 1.055));
  }
  return sum;
}

bool ReadableOn(COLORREF ink, COLORREF paper) {
  const double a = Luminance(ink) + 0.05, b = Luminance(paper) + 0.05;
  return (a > b ? a / b : b / a) >= 4.5;
}

// What the static paints behind its text: the solid brush its parent gave it, or else the
// background colour the parent set.
COLORREF PaintedBehind(LRESULT brush, HDC dc) {
  LOGBRUSH description = {};
  if (brush && GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof(description), &description) == sizeof(description) &&
      description.lbStyle == BS_SOLID) {
    return description.lbColor;
  }
  return GetBkColor(dc);
}

// The fixed colour where it stands out from what lies behind it; in a dark scheme (without
// high contrast) the scheme's link colour, or the window text's where that is too dark.
COLORREF ReadableLinkColor(COLORREF fixed, COLORREF behind) {
  if (ReadableOn(fixed, behind)) return fixed;
  const COLORREF scheme = GetSysColor(COLOR_HOTLIGHT);
  return ReadableOn(scheme, behind) ? scheme : GetSysColor(COLOR_WINDOWTEXT);
}

// A screen reader hears a link, named by its text, whose default action opens it as a click
// does; the verb is German, as the dialog is.
void LinkName(HWND control, wchar_t* text, int size) { GetWindowTextW(control, text, size); }
bool OpenLink(HWND control) {
  CHyperLink* link = LinkOf(control);
  // A link left out (the hint's, while the hint is not shown), or in a dialog disabled under
  // a message box of its own, takes no click either.
  const bool shown = (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
  if (!link || !shown || !IsWindowEnabled(control) || !IsWindowEnabled(GetAncestor(control, GA_ROOT))) return false;
  // The call comes from the screen reader, often from another process: the shell is not
  // asked from inside it, but on the link's next turn of the message loop.
  return PostMessageW(control, LinkOpenMessage, 0, 0) != FALSE;
}
const AccessibleAnswers LinkAnswers = {LinkName, ROLE_SYSTEM_LINK, L"\u00d6ffnen", OpenLink};

}  // namespace

CHyperLink::CHyperLink()
    : Target(nullptr),
      Parameters(nullptr),
      KeepUnvisitedColor(false),
      Hovering(false),
      Visited(false),
      NormalFont(nullptr),
      FrameMargin(0),
      PrevWndProc(nullptr),
      Accessible(nullptr) {}

CHyperLink::~CHyperLink() {
  delete[] Target;
  delete[] Parameters;
}

bool CHyperLink::SetTarget(const wchar_t* target) { return CopyText(target, Target); }

bool CHyperLink::SetParameters(const wchar_t* parameters) { return CopyText(parameters, Parameters); }

bool CHyperLink::Attach(HWND dialog, int control_id, const wchar_t* target) {
  return Attach(GetDlgItem(dialog, control_id), target);
}

bool CHyperLink::Attach(HWND control, const wchar_t* target) {
  // Without a live control nothing would ever undo the count, font and subclass below;
  // without the atom the procedures could not find their objects.
  if (!IsWindow(control) || !LinkPropertyAtom) return false;
  if (!SetTarget(target)) return false;

  // The parent is subclassed once for all its links; LinkParentWndProc undoes it at the
  // parent's WM_DESTROY. Its own procedure is kept in its property.
  HWND parent = GetParent(control);
  if (parent) {
    LONG_PTR own = GetWindowLongPtrW(parent, GWLP_WNDPROC);
    if (own != reinterpret_cast<LONG_PTR>(&LinkParentWndProc) &&
        SetPropW(parent, PropertyName(), reinterpret_cast<HANDLE>(own))) {
      SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkParentWndProc));
    }
  }

  // Static controls see the mouse only with SS_NOTIFY.
  SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY);
  NormalFont = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  FrameMargin = LinkFrameMargin();

  // The first link makes the shared font and cursor; the last one's WM_DESTROY frees them.
  if (LinkCount++ == 0) {
    UnderlineFont = MakeUnderlineFont(NormalFont);
    HandCursor = LoadCursorW(nullptr, IDC_HAND);
    if (!HandCursor) HandCursor = LoadCursorW(nullptr, IDC_ARROW);
  }

  // The property comes first so that LinkWndProc always finds its object; the subclass is
  // undone in OnDestroy at the control's WM_DESTROY.
  PrevWndProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
  if (!SetPropW(control, PropertyName(), this)) {
    ReleaseSharedResources();
    return false;
  }
  SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkWndProc));
  return true;
}

void CHyperLink::Open() {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.lpVerb = L"open";
  info.lpFile = Target;
  info.lpParameters = Parameters;
  info.nShow = SW_SHOW;
  ShellExecuteExW(&info);
  // The new colour shows at the next repaint; a failure to open is not reported.
  Visited = true;
}

LRESULT CALLBACK CHyperLink::LinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CHyperLink* link = LinkOf(window);
  if (!link) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      return link->OnDestroy(window, wParam, lParam);
    case WM_SETFOCUS:
      link->OnHighlight();
      InvalidateRect(window, nullptr, FALSE);  // painted again, with its focus frame
      return 0;
    case WM_KILLFOCUS:
      link->OnUnhighlight();
      InvalidateRect(window, nullptr, FALSE);  // painted again, without it
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return link->OnPaint(window, message, wParam, lParam);
    case WM_GETDLGCODE:
      return link->OnGetDlgCode(window, wParam, lParam);
    case WM_GETOBJECT:
      if (LRESULT object = AnswerAccessibleObject(window, wParam, lParam, LinkAnswers, &link->Accessible)) {
        return object;
      }
      break;
    case WM_SETCURSOR:
      SetCursor(HandCursor);
      return TRUE;
    case WM_KEYDOWN:
      // Enter, claimed through WM_GETDLGCODE, opens the link; a held key opens it once.
      if (wParam != VK_RETURN || (lParam & (1 << 30))) break;
      link->Open();
      return 0;
    case WM_KEYUP:
      if (wParam != VK_SPACE) break;
      link->Open();
      return 0;
    case WM_MOUSEMOVE:
      link->OnMouseMove(window, lParam);
      return 0;
    case WM_LBUTTONUP:
    case LinkOpenMessage:
      link->Open();
      return 0;
    case WM_CAPTURECHANGED:
      link->OnCaptureChanged(window);
      return 0;
    default:
      break;
  }
  return CallWindowProcW(link->PrevWndProc, window, message, wParam, lParam);
}

LRESULT CHyperLink::OnDestroy(HWND control, WPARAM wParam, LPARAM lParam) {
  // Undo everything Attach did, then let the control's own procedure see WM_DESTROY.
  WNDPROC previous = PrevWndProc;
  SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  SetControlFont(control, NormalFont);
  ReleaseAccessibleObject(&Accessible);
  ReleaseSharedResources();
  RemovePropW(control, PropertyName());
  return CallWindowProcW(previous, control, WM_DESTROY, wParam, lParam);
}

void CHyperLink::OnMouseMove(HWND control, LPARAM lParam) {
  if (!Hovering) {
    // The capture brings every later move, inside or not, so the hover's end is seen.
    Hovering = true;
    if (UnderlineFont) SetControlFont(control, UnderlineFont);
    InvalidateRect(control, nullptr, FALSE);
    OnHighlight();
    SetCapture(control);
    return;
  }
  // Unsigned on purpose: a point left of or above the control reads as 32768 or more.
  const unsigned x = LOWORD(lParam);
  const unsigned y = HIWORD(lParam);
  RECT client;
  GetClientRect(control, &client);
  const bool inside = static_cast<LONG>(x) >= client.left && static_cast<LONG>(x) < client.right &&
                      static_cast<LONG>(y) >= client.top && static_cast<LONG>(y) < client.bottom;
  // The WM_CAPTURECHANGED that follows ends the hover.
  if (!inside) ReleaseCapture();
}

void CHyperLink::OnCaptureChanged(HWND control) {
  Hovering = false;
  OnUnhighlight();
  SetControlFont(control, NormalFont);
  InvalidateRect(control, nullptr, FALSE);
}

int LinkFrameMargin() {
  UINT width = 1, height = 1;
  if (!SystemParameterQuery(SPI_GETFOCUSBORDERWIDTH, 0, &width, 0)) width = 1;
  if (!SystemParameterQuery(SPI_GETFOCUSBORDERHEIGHT, 0, &height, 0)) height = 1;
  return static_cast<int>(width > height ? width : height) + 1;
}

LRESULT CHyperLink::OnPaint(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  PAINTSTRUCT paint;
  HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(control, &paint);
  if (message != WM_PRINTCLIENT || (lParam & PRF_CLIENT)) PaintLink(control, dc);
  if (!wParam) EndPaint(control, &paint);
  return 0;
}

// The link paints itself as its static would, in what the parent gives it, but with its text
// the frame's room in from every edge; the frame goes around the text exactly while the link
// has the focus, so every repaint shows it.
void CHyperLink::PaintLink(HWND control, HDC dc) {
  // A DC handed in (WM_PRINTCLIENT) gets its colours, mode and font back as they were.
  const COLORREF previous_text = GetTextColor(dc), previous_back = GetBkColor(dc);
  const int previous_mode = GetBkMode(dc);
  RECT client;
  GetClientRect(control, &client);
  const LRESULT brush = SendMessageW(GetParent(control), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(control));
  FillRect(dc, &client, brush ? reinterpret_cast<HBRUSH>(brush) : GetSysColorBrush(COLOR_BTNFACE));
  int length = GetWindowTextLengthW(control);
  wchar_t* text = new (std::nothrow) wchar_t[length + 1];
  length = text ? GetWindowTextW(control, text, length + 1) : 0;
  // A link in the colour of plain text (a dark scheme with a dark link colour) would look like
  // plain text: it is underlined then, hovered or not.
  const bool plain = GetTextColor(dc) == GetSysColor(COLOR_WINDOWTEXT);
  const HFONT font = plain && UnderlineFont ? UnderlineFont : reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  const HGDIOBJ previous_font = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  if (!IsWindowEnabled(control)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  const UINT format = DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) |
                      ((style & SS_TYPEMASK) == SS_RIGHT ? DT_RIGHT : (style & SS_TYPEMASK) == SS_CENTER ? DT_CENTER : 0);
  RECT inner = client;
  InflateRect(&inner, -FrameMargin, -FrameMargin);
  if (text) DrawTextW(dc, text, length, &inner, format);
  if (text && GetFocus() == control) {
    RECT frame = inner;
    DrawTextW(dc, text, length, &frame, format | DT_CALCRECT);
    const int width = frame.right - frame.left;
    frame.left = format & DT_RIGHT ? inner.right - width
                                   : format & DT_CENTER ? inner.left + (inner.right - inner.left - width) / 2 : inner.left;
    frame.right = frame.left + width;
    InflateRect(&frame, FrameMargin, FrameMargin);
    IntersectRect(&frame, &frame, &client);
    // The frame's dots take the DC's text and background colours: black and white, as on
    // every other control.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &frame);
  }
  SelectObject(dc, previous_font);
  SetBkMode(dc, previous_mode);
  SetBkColor(dc, previous_back);
  SetTextColor(dc, previous_text);
  delete[] text;
}

LRESULT CHyperLink::OnGetDlgCode(HWND control, WPARAM wParam, LPARAM lParam) {
  const LRESULT code = CallWindowProcW(PrevWndProc, control, WM_GETDLGCODE, wParam, lParam);
  // Enter on the focused link is the link's, not the dialog's default button.
  const MSG* key = reinterpret_cast<const MSG*>(lParam);
  if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN && GetFocus() == control) {
    return code | DLGC_WANTMESSAGE;
  }
  return code;
}

LRESULT CALLBACK CHyperLink::LinkParentWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC own = reinterpret_cast<WNDPROC>(GetPropW(window, PropertyName()));
  if (!own) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
      RemovePropW(window, PropertyName());
      break;
    case WM_CTLCOLORSTATIC: {
      CHyperLink* link = LinkOf(reinterpret_cast<HWND>(lParam));
      if (!link) break;
      // The parent picks brush and background; the link's colour goes on top of its choice.
      LRESULT brush = CallWindowProcW(own, window, message, wParam, lParam);
      HDC dc = reinterpret_cast<HDC>(wParam);
      const bool purple = link->Visited && !link->KeepUnvisitedColor;
      const COLORREF color = HighContrastOn() ? GetSysColor(COLOR_HOTLIGHT)
                                              : ReadableLinkColor(purple ? LinkVisitedColor : LinkUnvisitedColor,
                                                                  PaintedBehind(brush, dc));
      SetTextColor(dc, color);
      return brush;
    }
    default:
      break;
  }
  return CallWindowProcW(own, window, message, wParam, lParam);
}
