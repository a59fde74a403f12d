// The plug-in's modal UI: the options dialog and every message box of ours run a modal loop
// on the host's thread, inside which the host goes on calling us (its preferences window is
// modeless). One count of what is up lets the removal export decline and quit keep the DLL
// mapped while our code is on the stack.
//
// Classes in this file:
//   ModalUiScope  - counts one piece of modal UI for as long as it is up.
#pragma once

#include <windows.h>

// Pieces of modal UI of ours now on the stack.
extern int ModalUiDepth;

class ModalUiScope {
 public:
  ModalUiScope() { ++ModalUiDepth; }
  ~ModalUiScope() { --ModalUiDepth; }
  ModalUiScope(const ModalUiScope&) = delete;
  ModalUiScope& operator=(const ModalUiScope&) = delete;
};

// One box for settings that could not be written to the INI file: the headline (a string
// of the module's table), the file's path and Windows' reason for the error, or, without a
// path, that the host named no file.
void ReportFailedIniWrite(HWND owner, HINSTANCE module, UINT headline_id, const wchar_t* path, DWORD error);
