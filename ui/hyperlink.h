// Turns a static text control into a link that the shell opens: blue, purple once
// visited (in high contrast the scheme's link colour, and where a dark scheme makes the fixed
// colour hard to read, the scheme's link or text colour), underlined with the hand cursor while
// hovered, framed while focused, and opened by a click, the space key or Enter. Everything
// hangs on window properties named by one module-wide atom.
//
// Classes in this file:
//   CHyperLink  - one link on one static control.
#pragma once

#include <windows.h>

struct IAccessible;

class CHyperLink {
 public:
  CHyperLink();
  virtual ~CHyperLink();
  CHyperLink(const CHyperLink&) = delete;
  CHyperLink& operator=(const CHyperLink&) = delete;

  // Called when the link gains the focus or a hover starts, and when it loses the focus
  // or the hover ends; the calls of the two may nest.
  virtual void OnHighlight() {}
  virtual void OnUnhighlight() {}

  // Keep heap copies of the texts; false (and the field null) when no copy could be made.
  bool SetTarget(const wchar_t* target);
  bool SetParameters(const wchar_t* parameters);
  // Subclasses the static control (and, once, its parent). The object must outlive the
  // control; the subclasses are undone when the windows are destroyed.
  bool Attach(HWND control, const wchar_t* target);
  bool Attach(HWND dialog, int control_id, const wchar_t* target);
  // Has the shell open Target with Parameters and marks the link visited.
  void Open();

  static LRESULT CALLBACK LinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LinkParentWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  wchar_t* Target;
  wchar_t* Parameters;
  bool KeepUnvisitedColor;
  bool Hovering;
  bool Visited;
  HFONT NormalFont;
  // The room the control has around the text for the focus frame: LinkFrameMargin() when
  // attached, and whatever a layout that gives the room sets, so that paint and layout agree.
  int FrameMargin;
  WNDPROC PrevWndProc;
  // What screen readers get for the link (a link, named by its text, opened by its default
  // action), made at their first request; released when the control is destroyed.
  IAccessible* Accessible;

 private:
  LRESULT OnDestroy(HWND control, WPARAM wParam, LPARAM lParam);
  LRESULT OnPaint(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintLink(HWND control, HDC dc);
  LRESULT OnGetDlgCode(HWND control, WPARAM wParam, LPARAM lParam);
  void OnMouseMove(HWND control, LPARAM lParam);
  void OnCaptureChanged(HWND control);
};

// The atom naming the link properties; added at the module's static set-up and deleted
// at its teardown.
extern ATOM LinkPropertyAtom;
constexpr wchar_t LinkPropertyName[] = L"_Hyperlink_Object_Pointer_\\{AFEED740-CC6D-47c5-831D-9848FD916EEF}";

// Module-wide state shared by all links (exposed for the tests).
extern LONG LinkCount;
extern HFONT UnderlineFont;
extern HCURSOR HandCursor;

// The room a link needs around its text on every side, in pixels: the focus frame as thick as
// Windows draws it (a setting of its own, for people who see it badly) and one pixel clear of
// the text. The link paints its text this far in from its control's edges.
int LinkFrameMargin();

// Posted to a link to open it (its accessible default action).
constexpr UINT LinkOpenMessage = WM_APP + 1;

constexpr COLORREF LinkUnvisitedColor = 0x00FF0000;
constexpr COLORREF LinkVisitedColor = 0x00800080;

// Whether Windows' high-contrast mode is on, asked at every paint: links then take the
// scheme's link colour (COLOR_HOTLIGHT) and the dialog's header the scheme's window colours.
bool HighContrastOn();
// Seam for the tests: the call that answers SPI_GETHIGHCONTRAST and the focus frame's
// thickness (Wine can change neither).
using SystemParameterQueryFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
extern SystemParameterQueryFunction SystemParameterQuery;
