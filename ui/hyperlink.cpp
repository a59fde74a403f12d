// Placeholder until the hyperlink control is built.
#include "ui/hyperlink.h"

ATOM LinkPropertyAtom = 0;
LONG LinkCount = 0;
HFONT UnderlineFont = nullptr;
HCURSOR HandCursor = nullptr;

CHyperLink::CHyperLink()
    : Target(nullptr), Parameters(nullptr), KeepUnvisitedColor(false), Hovering(false), Visited(false),
      NormalFont(nullptr), PrevWndProc(nullptr) {}
CHyperLink::~CHyperLink() {}
bool CHyperLink::SetTarget(const wchar_t*) { return false; }
bool CHyperLink::SetParameters(const wchar_t*) { return false; }
bool CHyperLink::Attach(HWND, const wchar_t*) { return false; }
bool CHyperLink::Attach(HWND, int, const wchar_t*) { return false; }
void CHyperLink::Open() {}
LRESULT CALLBACK CHyperLink::LinkWndProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT CALLBACK CHyperLink::LinkParentWndProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
void CHyperLink::DrawLinkFocusRect(HWND) {}
