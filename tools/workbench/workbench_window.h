// The interactive face of the workbench: controls on the host window itself (the window the
// plug-in subclasses), which drive the simulated player, the session events, the screen
// saver and the plug-in's dialog, and show the log.
//
// Classes in this file:
//   WorkbenchWindow  - the controls, their layout and the log view.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tools/workbench/workbench.h"

namespace workbench {

class WorkbenchWindow {
 public:
  // Made before the workbench whose log it shows, so that it outlives every line.
  WorkbenchWindow() = default;
  ~WorkbenchWindow();  // frees the fonts; the controls go with the host window
  WorkbenchWindow(const WorkbenchWindow&) = delete;
  WorkbenchWindow& operator=(const WorkbenchWindow&) = delete;

  // Adds the controls to the bench's (visible) host window.
  bool Create(Workbench& bench);
  // While a script runs the buttons are off, so that the script alone drives the host.
  void SetBusy(bool busy);
  // A log sink: lines that come before the log view exists are kept for it.
  void Append(const std::wstring& line);
  void Refresh();

 private:
  struct Control {
    int id;
    HWND window;
    int width;  // buttons keep their width; the last field of a row takes the rest
  };

  bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void OnButton(int id);
  // "Uninstall...", run from a thread timer as the player's preferences window would.
  static void CALLBACK RemoveFromPreferences(HWND, UINT, UINT_PTR timer, DWORD);
  static WorkbenchWindow* Removing;
  void Layout();
  HWND Add(int id, const wchar_t* window_class, const wchar_t* text, DWORD style, int width);
  void SetText(int id, const std::wstring& text);

  Workbench* bench_ = nullptr;
  HWND host_ = nullptr;
  HWND log_view_ = nullptr;
  HFONT ui_font_ = nullptr;
  HFONT log_font_ = nullptr;
  bool busy_ = false;
  bool closed_ = false;
  std::vector<Control> controls_;
  std::vector<std::wstring> pending_;
};

}  // namespace workbench
