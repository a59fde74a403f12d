// What screen readers get for some of the dialog's controls: the system's standard
// accessible object for the control, with a few answers of our own in place of its answers.
//
// Classes in this file:
//   AccessibleAnswers  - the answers a control gives in place of its standard object's.
#pragma once

#include <windows.h>

struct IAccessible;

// A null or zero entry leaves that answer to the standard object. The answers are the
// control's own (CHILDID_SELF); its children, if any, keep the standard answers.
struct AccessibleAnswers {
  // Writes the control's name into `text`, at most `size` characters with the terminator.
  void (*name)(HWND control, wchar_t* text, int size);
  LONG role;
  const wchar_t* default_action;
  // False where a click could not act either (the control hidden or disabled).
  bool (*do_default_action)(HWND control);
};

// The answer to WM_GETOBJECT for the control's client area: the object kept in `kept`, made
// at the first request. 0 for any other object, or when none can be made or handed over, so
// that the control's own procedure answers as before.
LRESULT AnswerAccessibleObject(HWND control, WPARAM wParam, LPARAM lParam, const AccessibleAnswers& answers,
                               IAccessible** kept);

// At the control's destruction: cuts off clients in other processes that still hold its
// object, so that none of their calls reaches this module once it is unloaded, and drops the
// module's own reference.
void ReleaseAccessibleObject(IAccessible** kept);
