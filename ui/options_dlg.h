// The German options dialog: edits a copy of the settings; OK saves the copy to the INI
// file and copies it over the live settings.
//
// Classes in this file:
//   COptionsDlg  - the dialog object behind template 102.
#pragma once

#include <windows.h>

#include <cstdint>

#include "reactions/reaction_settings.h"
#include "ui/base_dlg.h"
#include "ui/hyperlink.h"

// Final: the destructor is not virtual, and the object is deleted through this type.
class COptionsDlg final : public CBaseDlg {
 public:
  COptionsDlg(ReactionSettings* live_settings, HINSTANCE module_instance);
  ~COptionsDlg();
  COptionsDlg(const COptionsDlg&) = delete;
  COptionsDlg& operator=(const COptionsDlg&) = delete;

  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  HBRUSH HeaderBrush;
  HFONT TitleFont;
  HINSTANCE ModuleInstance;
  HWND Window;
  CHyperLink WebLink;
  CHyperLink ScreenSaverLink;
  ReactionSettings* LiveSettings;
  ReactionSettings WorkingCopy;

 private:
  void OnInitDialog(HWND window);
  void OnCommand(WPARAM wParam, LPARAM lParam);
  INT_PTR OnCtlColorStatic(HDC dc, HWND control);
  void OnSystemChange(UINT message, WPARAM wParam, LPARAM lParam);
  void OnDestroy();
  void OnDefaults();

  void CenterOnHostWindow();
  void MakeHeader();
  void AttachLinks();
  void NameDelayControls();
  void FillActionLists();
  void LoadControls();
  void SelectAction(int list_id, int32_t code);
  int32_t SelectedAction(int list_id) const;
  void UpdateRuleControls(int list_id);
  void UpdateOptionAvailability();
  void LoadOptionChecks();
  void TakeTableLayout();
  const RECT& TableRect(HWND control) const;
  void LayOut(bool hint_shown);
  void StoreControls();
  void ClampDelayField(int field_id);
  void CheckDelayField(int field_id);
  // A string of the module's table; empty when it cannot be loaded.
  void LoadText(UINT id, wchar_t (&buffer)[100]) const;

  // The template's layout in client pixels, taken before anything moves: every control (in
  // creation order) with its place, and the dialog's size.
  static constexpr int MaxControls = 40;
  struct TableLayout {
    HWND controls[MaxControls];
    RECT rects[MaxControls];
    int count;
    SIZE dialog;
  } Table = {};

  // What screen readers get for the three delay fields and their up-down controls, named by
  // the texts of their row; made at their first request, released at WM_DESTROY.
  static constexpr int DelayControls = 6;
  IAccessible* DelayControlObjects[DelayControls] = {};
};

// A Yes/No warning box (No the default) placed over the foreground window and kept in the
// work area of its monitor.
int ShowCenteredMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption);

// The hook that places the next message box (exposed for the tests). It removes itself at
// that box's activation; ShowCenteredMessageBox removes it when no box was activated.
extern HHOOK MessageBoxHook;
