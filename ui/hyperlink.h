// Turns a static text control into a link that the shell opens: blue, purple once
// visited, underlined with the hand cursor while hovered, and opened by a click or the
// space key. Everything hangs on window properties named by one module-wide atom.
//
// Classes in this file:
//   CHyperLink  - one link on one static control.
#pragma once

#include <windows.h>

class CHyperLink {
 public:
  CHyperLink();
  virtual ~CHyperLink();
  CHyperLink(const CHyperLink&) = delete;
  CHyperLink& operator=(const CHyperLink&) = delete;

  virtual void OnHighlight() {}
  virtual void OnUnhighlight() {}

  bool SetTarget(const wchar_t* target);
  bool SetParameters(const wchar_t* parameters);
  bool Attach(HWND control, const wchar_t* target);
  bool Attach(HWND dialog, int control_id, const wchar_t* target);
  void Open();

  static LRESULT CALLBACK LinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LinkParentWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void DrawLinkFocusRect(HWND control);

  wchar_t* Target;
  wchar_t* Parameters;
  bool KeepUnvisitedColor;
  bool Hovering;
  bool Visited;
  HFONT NormalFont;
  WNDPROC PrevWndProc;
};

// The atom naming the link properties; added at the module's static set-up and deleted
// at its teardown.
extern ATOM LinkPropertyAtom;
constexpr wchar_t LinkPropertyName[] = L"_Hyperlink_Object_Pointer_\\{AFEED740-CC6D-47c5-831D-9848FD916EEF}";

// Module-wide state shared by all links (exposed for the tests).
extern LONG LinkCount;
extern HFONT UnderlineFont;
extern HCURSOR HandCursor;

constexpr COLORREF LinkUnvisitedColor = 0x00FF0000;
constexpr COLORREF LinkVisitedColor = 0x00800080;
