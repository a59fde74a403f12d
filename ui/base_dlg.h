// A dialog made from a resource template, driven by an object: one static dialog
// procedure finds the object in the window's user data and hands it every message.
//
// Classes in this file:
//   CBaseDlg  - the base of the plug-in's dialogs.
#pragma once

#include <windows.h>

class CBaseDlg {
 public:
  CBaseDlg() = default;

  // The object's handling of one message; the result is what a dialog procedure returns.
  virtual INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // Binds the window to the object given at WM_INITDIALOG and unbinds it at WM_DESTROY;
  // messages outside that span get the dialog manager's default handling.
  static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // Not virtual: owners delete dialogs through their concrete type, never through this base.
  ~CBaseDlg() = default;
};

// Runs dialog template 102 modally on the given dialog object, owned by owner; returns
// what DialogBoxParamW returns (1 for OK, 2 for Cancel and close, -1 or 0 on failure).
int RunOptionsDialog(HINSTANCE instance, HWND owner, CBaseDlg* dialog);
