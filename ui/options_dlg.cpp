#include "ui/options_dlg.h"

#include <commctrl.h>

#include <cwchar>
#include <initializer_list>
#include <new>

#include "host/host_api.h"
#include "reactions/screensaver_watch.h"
#include "ui/modal_ui.h"
#include "ui/resource.h"

namespace {

// The controls of one rule, top to bottom on screen: lock, login, unlock.
struct RuleControls {
  int list;
  int field;
  int updown;
  int delay_label;
  int unit_label;
};
constexpr RuleControls LockControls = {IDC_LOCK_ACTION, IDE_LOCK_DELAY, IDU_LOCK_DELAY, IDT_LOCK_DELAY, IDT_LOCK_UNIT};
constexpr RuleControls LoginControls = {IDC_LOGIN_ACTION, IDE_LOGIN_DELAY, IDU_LOGIN_DELAY, IDT_LOGIN_DELAY,
                                        IDT_LOGIN_UNIT};
constexpr RuleControls UnlockControls = {IDC_UNLOCK_ACTION, IDE_UNLOCK_DELAY, IDU_UNLOCK_DELAY, IDT_UNLOCK_DELAY,
                                         IDT_UNLOCK_UNIT};

const RuleControls* RuleOfList(int list_id) {
  for (const RuleControls* rule : {&LockControls, &UnlockControls, &LoginControls}) {
    if (rule->list == list_id) return rule;
  }
  return nullptr;
}

bool IsDelayField(int id) { return id == IDE_LOCK_DELAY || id == IDE_LOGIN_DELAY || id == IDE_UNLOCK_DELAY; }

// What each list offers, in screen order; every list starts with "Nichts tun".
constexpr int32_t LockActions[] = {DoNothing, Pause, Stop, StopWithFade, StopAfterCurrent};
constexpr int32_t UnlockActions[] = {DoNothing, PlayOrResume, PlayNext};
constexpr int32_t LoginActions[] = {DoNothing, Pause, Stop, StopWithFade, StopAfterCurrent, CloseHost};

UINT ClampDelay(UINT seconds) { return seconds > MaxDelaySeconds ? MaxDelaySeconds : seconds; }

// Keeps a window of this size at x, y inside the work area of the monitor nearest the
// reference rectangle, which may lie left of or above the primary one. The top-left corner
// wins over the right and bottom edges, so a window too large still shows its caption.
void KeepInWorkArea(const RECT& reference, int width, int height, int* x, int* y) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromRect(&reference, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& area = monitor.rcWork;
  if (*x + width > area.right) *x = area.right - width;
  if (*y + height > area.bottom) *y = area.bottom - height;
  if (*x < area.left) *x = area.left;
  if (*y < area.top) *y = area.top;
}

// The buttons under the "Weitere Optionen" group, which move down with it.
constexpr int BottomButtons[] = {IDB_DEFAULTS, IDOK, IDCANCEL};

RECT ClientRectOf(HWND dialog, int id) {
  RECT r = {};
  HWND control = GetDlgItem(dialog, id);
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Moves a control only when it is elsewhere, so that a layout that stays costs nothing.
bool MoveControl(HWND dialog, int id, const RECT& r) {
  const RECT now = ClientRectOf(dialog, id);
  if (EqualRect(&r, &now)) return false;
  SetWindowPos(GetDlgItem(dialog, id), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

// A control's text on the heap (empty text: an empty string), or null without memory.
wchar_t* ControlText(HWND control, int* length) {
  *length = GetWindowTextLengthW(control);
  wchar_t* text = new (std::nothrow) wchar_t[*length + 1];
  if (!text) return nullptr;
  *length = GetWindowTextW(control, text, *length + 1);
  text[*length] = L'\0';
  return text;
}

// Lines that DrawTextW needs for the first `count` characters at this width.
int TextLines(HDC dc, const wchar_t* text, int count, int width, UINT flags, int line_height) {
  RECT r = {0, 0, width, 0};
  DrawTextW(dc, text, count, &r, flags | DT_CALCRECT);
  return line_height > 0 ? (r.bottom - r.top + line_height - 1) / line_height : 1;
}

// Where the last of `lines` lines starts. Word wrapping fills each line greedily, so a prefix
// is broken as the whole text is: the last line follows the longest prefix, cut at a space,
// that fits in one line less. Cutting only at spaces errs, if at all, towards a longer last
// line, so that a link placed after it never covers its text.
int StartOfLastLine(HDC dc, const wchar_t* text, int length, int width, UINT flags, int lines, int line_height) {
  int start = 0;
  for (int i = 0; i < length && lines > 1; ++i) {
    if (text[i] != L' ') continue;
    if (TextLines(dc, text, i, width, flags, line_height) > lines - 1) break;
    start = i + 1;
  }
  while (start < length && text[start] == L' ') ++start;
  return start;
}

void PlaceOverForeground(HWND box) {
  HWND front = GetForegroundWindow();
  RECT over, own;
  if (!front || !box) return;
  if (!GetWindowRect(front, &over) || !GetWindowRect(box, &own)) return;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  int x = over.left + (over.right - over.left) / 2 - width / 2;
  int y = over.top + (over.bottom - over.top) / 2 - height / 2;
  KeepInWorkArea(over, width, height, &x, &y);
  MoveWindow(box, x, y, width, height, FALSE);
}

LRESULT CALLBACK CenterMessageBoxHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code != HCBT_ACTIVATE) return CallNextHookEx(MessageBoxHook, code, wParam, lParam);
  PlaceOverForeground(reinterpret_cast<HWND>(wParam));
  // Other hooks on this thread (the host's, another plug-in's) see the activation too.
  const LRESULT result = CallNextHookEx(MessageBoxHook, code, wParam, lParam);
  UnhookWindowsHookEx(MessageBoxHook);
  MessageBoxHook = nullptr;
  return result;
}

}  // namespace

HHOOK MessageBoxHook = nullptr;

int ShowCenteredMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption) {
  // Removed by the hook itself at the box's activation, or below if no box was activated.
  MessageBoxHook = SetWindowsHookExW(WH_CBT, CenterMessageBoxHook, nullptr, GetCurrentThreadId());
  ModalUiScope up;
  const int answer = MessageBoxW(owner, text, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  if (MessageBoxHook) {
    UnhookWindowsHookEx(MessageBoxHook);
    MessageBoxHook = nullptr;
  }
  return answer;
}

COptionsDlg::COptionsDlg(ReactionSettings* live_settings, HINSTANCE module_instance)
    : HeaderBrush(nullptr),
      TitleFont(nullptr),
      ModuleInstance(module_instance),
      Window(nullptr),
      LiveSettings(live_settings),
      WorkingCopy(*live_settings) {}

// The members' destructors free the links' texts: ScreenSaverLink first, then WebLink.
COptionsDlg::~COptionsDlg() = default;

INT_PTR COptionsDlg::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window);
      return TRUE;  // the dialog manager focuses the first tab stop
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_CLOSE:
      EndDialog(window, IDCANCEL);
      return 0;
    default:
      return 0;
  }
}

void COptionsDlg::OnInitDialog(HWND window) {
  Window = window;
  TakeTableLayout();
  MakeHeader();
  AttachLinks();
  FillActionLists();
  for (int updown : {IDU_LOCK_DELAY, IDU_UNLOCK_DELAY, IDU_LOGIN_DELAY}) {
    SendDlgItemMessageW(Window, updown, UDM_SETRANGE32, MinDelaySeconds, MaxDelaySeconds);
  }
  for (int field : {IDE_LOCK_DELAY, IDE_UNLOCK_DELAY, IDE_LOGIN_DELAY}) {
    SendDlgItemMessageW(Window, field, EM_LIMITTEXT, 2, 0);
  }
  LoadControls();
  LoadOptionChecks();
  // Last, so that centring sees the size that the screen saver hint may have added.
  CenterOnHostWindow();
}

void COptionsDlg::CenterOnHostWindow() {
  HWND reference = reinterpret_cast<HWND>(SendMessageW(GetParent(Window), WM_USER, 0, host::QueryDialogParent));
  if (reference == nullptr || reference == reinterpret_cast<HWND>(1)) reference = Window;
  RECT area, own;
  if (!GetWindowRect(Window, &own)) return;
  // An answer that is no window leaves the dialog where it is, as having no answer does.
  if (!GetWindowRect(reference, &area)) area = own;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  int x = area.left + ((area.right - area.left) - width) / 2;
  int y = area.top + ((area.bottom - area.top) - height) / 2;
  KeepInWorkArea(area, width, height, &x, &y);
  SetWindowPos(Window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void COptionsDlg::MakeHeader() {
  // Both are deleted in OnDestroy.
  HeaderBrush = CreateSolidBrush(RGB(255, 255, 255));
  HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageW(Window, IDT_TITLE, WM_GETFONT, 0, 0));
  LOGFONTW description = {};
  if (font && GetObjectW(font, sizeof(description), &description) == sizeof(description)) {
    description.lfWeight = FW_BOLD;
    TitleFont = CreateFontIndirectW(&description);
    if (TitleFont) SendDlgItemMessageW(Window, IDT_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(TitleFont), TRUE);
  }
}

void COptionsDlg::AttachLinks() {
  // The web link's text is its target; 50 characters hold any address the template gives.
  wchar_t address[50] = {};
  if (GetDlgItemTextW(Window, IDT_WEB_LINK, address, 50) > 0) WebLink.Attach(Window, IDT_WEB_LINK, address);
  ScreenSaverLink.Attach(Window, IDT_SCREENSAVER_LINK, L"rundll32.exe");
  ScreenSaverLink.SetParameters(L"shell32.dll,Control_RunDLL desk.cpl,,1");
  ScreenSaverLink.KeepUnvisitedColor = true;
}

void COptionsDlg::LoadText(UINT id, wchar_t (&buffer)[100]) const {
  if (LoadStringW(ModuleInstance, id, buffer, 100) <= 0) buffer[0] = L'\0';
}

void COptionsDlg::FillActionLists() {
  struct ListItems {
    int list;
    const int32_t* codes;
    size_t count;
  };
  const ListItems lists[] = {
      {IDC_LOCK_ACTION, LockActions, sizeof(LockActions) / sizeof(LockActions[0])},
      {IDC_UNLOCK_ACTION, UnlockActions, sizeof(UnlockActions) / sizeof(UnlockActions[0])},
      {IDC_LOGIN_ACTION, LoginActions, sizeof(LoginActions) / sizeof(LoginActions[0])},
  };
  for (const ListItems& items : lists) {
    HWND list = GetDlgItem(Window, items.list);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < items.count; ++i) {
      wchar_t label[100];
      LoadText(IDS_ACTION_BASE + items.codes[i], label);
      if (!label[0]) continue;  // an action without its label cannot be offered
      LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
      // CB_ERR as an index would set the data of every item.
      if (index < 0) continue;
      SendMessageW(list, CB_SETITEMDATA, index, items.codes[i]);
    }
  }
}

void COptionsDlg::LoadControls() {
  SelectAction(IDC_LOCK_ACTION, WorkingCopy.lock.action);
  SelectAction(IDC_UNLOCK_ACTION, WorkingCopy.unlock.action);
  SelectAction(IDC_LOGIN_ACTION, WorkingCopy.login.action);
  SetDlgItemInt(Window, IDE_LOCK_DELAY, WorkingCopy.lock.delay, FALSE);
  SetDlgItemInt(Window, IDE_UNLOCK_DELAY, WorkingCopy.unlock.delay, FALSE);
  SetDlgItemInt(Window, IDE_LOGIN_DELAY, WorkingCopy.login.delay, FALSE);
}

void COptionsDlg::SelectAction(int list_id, int32_t code) {
  HWND list = GetDlgItem(Window, list_id);
  LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  if (count == CB_ERR) return;
  // An action the list does not offer shows as its first item, "Nichts tun".
  LRESULT selection = 0;
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageW(list, CB_GETITEMDATA, i, 0) == code) {
      selection = i;
      break;
    }
  }
  // CB_SETCURSEL sends no CBN_SELCHANGE, so the rule's controls follow here.
  SendMessageW(list, CB_SETCURSEL, selection, 0);
  UpdateRuleControls(list_id);
}

int32_t COptionsDlg::SelectedAction(int list_id) const {
  HWND list = GetDlgItem(Window, list_id);
  LRESULT selection = SendMessageW(list, CB_GETCURSEL, 0, 0);
  if (selection == CB_ERR) return 0;
  return static_cast<int32_t>(SendMessageW(list, CB_GETITEMDATA, selection, 0));
}

void COptionsDlg::UpdateRuleControls(int list_id) {
  if (SendDlgItemMessageW(Window, list_id, CB_GETCURSEL, 0, 0) == CB_ERR) return;
  const RuleControls* rule = RuleOfList(list_id);
  if (rule) {
    const BOOL enable = ActionUsesDelay(SelectedAction(list_id)) ? TRUE : FALSE;
    for (int id : {rule->field, rule->updown, rule->delay_label, rule->unit_label}) {
      EnableWindow(GetDlgItem(Window, id), enable);
    }
  }
  UpdateOptionAvailability();
}

void COptionsDlg::UpdateOptionAvailability() {
  bool pause_chosen = false;
  bool play_chosen = false;
  for (int list : {IDC_LOCK_ACTION, IDC_LOGIN_ACTION, IDC_UNLOCK_ACTION}) {
    const int32_t code = SelectedAction(list);
    pause_chosen = pause_chosen || code == Pause;
    play_chosen = play_chosen || code == PlayOrResume || code == PlayNext;
  }
  // A disabled box keeps its check mark, and OK stores it.
  EnableWindow(GetDlgItem(Window, IDX_PLAY_ONLY_WHEN_PAUSED), play_chosen ? TRUE : FALSE);
  EnableWindow(GetDlgItem(Window, IDX_ALWAYS_STOP_STREAMS), pause_chosen ? TRUE : FALSE);
}

void COptionsDlg::LoadOptionChecks() {
  CheckDlgButton(Window, IDX_PLAY_ONLY_WHEN_PAUSED,
                 WorkingCopy.play_only_when_paused_or_stopped ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(Window, IDX_ALWAYS_STOP_STREAMS, WorkingCopy.always_stop_streams ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(Window, IDX_LOCK_ON_SCREENSAVER, WorkingCopy.lock_on_screensaver ? BST_CHECKED : BST_UNCHECKED);
  // The hint is only worth showing where the screen saver does not return to the Welcome
  // screen; it is judged here only, not when the box is toggled.
  const bool shown = !ScreenSaverLocksSession();
  ShowWindow(GetDlgItem(Window, IDT_SCREENSAVER_HINT), shown ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(Window, IDT_SCREENSAVER_LINK), shown ? SW_SHOW : SW_HIDE);
  LayOutScreenSaverHint(shown);
}

void COptionsDlg::TakeTableLayout() {
  Table.link = ClientRectOf(Window, IDT_SCREENSAVER_LINK);
  Table.group = ClientRectOf(Window, IDG_OPTIONS);
  for (int i = 0; i < 3; ++i) Table.buttons[i] = ClientRectOf(Window, BottomButtons[i]);
  RECT own = {};
  GetWindowRect(Window, &own);
  Table.dialog = {own.right - own.left, own.bottom - own.top};
}

// With the dialog's real font the hint's last line runs under the link where the template
// puts it. The link goes after that line when it fits there, else onto a line of its own,
// for which the group box, the buttons under it and the dialog make room. Hidden, the hint
// leaves the template's layout as it is.
void COptionsDlg::LayOutScreenSaverHint(bool shown) {
  const RECT link = shown ? LinkPlaceAfterHint() : Table.link;
  const int grow = link.bottom > Table.link.bottom ? link.bottom - Table.link.bottom : 0;
  bool moved = MoveControl(Window, IDT_SCREENSAVER_LINK, link);
  RECT group = Table.group;
  group.bottom += grow;
  moved = MoveControl(Window, IDG_OPTIONS, group) || moved;
  for (int i = 0; i < 3; ++i) {
    RECT button = Table.buttons[i];
    OffsetRect(&button, 0, grow);
    moved = MoveControl(Window, BottomButtons[i], button) || moved;
  }
  if (!moved) return;
  SetWindowPos(Window, nullptr, 0, 0, Table.dialog.cx, Table.dialog.cy + grow,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Window, nullptr, TRUE);
}

RECT COptionsDlg::LinkPlaceAfterHint() const {
  HWND hint = GetDlgItem(Window, IDT_SCREENSAVER_HINT);
  HWND link = GetDlgItem(Window, IDT_SCREENSAVER_LINK);
  RECT area = {};
  GetClientRect(hint, &area);
  MapWindowPoints(hint, Window, reinterpret_cast<POINT*>(&area), 2);
  const int width = area.right - area.left;
  int hint_length = 0;
  int link_length = 0;
  wchar_t* hint_text = ControlText(hint, &hint_length);
  wchar_t* link_text = ControlText(link, &link_length);

  // Measured as the static controls draw: their own fonts, word breaks, tabs and prefixes.
  HDC dc = GetDC(hint);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hint, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  const int line = metrics.tmHeight;
  const UINT flags = DT_WORDBREAK | DT_EXPANDTABS | ((GetWindowLongW(hint, GWL_STYLE) & SS_NOPREFIX) ? DT_NOPREFIX : 0);
  int lines = 1;
  SIZE last = {};
  SIZE space = {};
  if (hint_text && link_text) {
    lines = TextLines(dc, hint_text, hint_length, width, flags, line);
    const int start = StartOfLastLine(dc, hint_text, hint_length, width, flags, lines, line);
    GetTextExtentPoint32W(dc, hint_text + start, hint_length - start, &last);
    GetTextExtentPoint32W(dc, L" ", 1, &space);
  }
  SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
  SIZE link_extent = {};
  if (link_text) GetTextExtentPoint32W(dc, link_text, link_length, &link_extent);
  SelectObject(dc, previous);
  ReleaseDC(hint, dc);
  const bool measured = hint_text && link_text;
  delete[] hint_text;
  delete[] link_text;

  const int link_width = Table.link.right - Table.link.left;
  const int link_height = Table.link.bottom - Table.link.top;
  RECT place = {};
  const int after = area.left + last.cx + space.cx;
  if (measured && after + link_extent.cx <= area.right) {
    place.left = after;
    place.top = area.top + (lines - 1) * line;
  } else {
    // Not measured (no memory) counts as not fitting: the link's own line is always clear.
    place.left = area.left;
    place.top = area.top + lines * line;
  }
  // The template's width, or its text's where that is wider (with the real font it is, and
  // the text would wrap out of sight), but never past the hint's right edge, inside the group.
  const int wanted = link_extent.cx > link_width ? link_extent.cx : link_width;
  place.right = place.left + wanted < area.right ? place.left + wanted : area.right;
  place.bottom = place.top + link_height;
  return place;
}

void COptionsDlg::StoreControls() {
  struct RuleStore {
    EventReaction* rule;
    const RuleControls* controls;
  };
  const RuleStore rules[] = {
      {&WorkingCopy.lock, &LockControls},
      {&WorkingCopy.login, &LoginControls},
      {&WorkingCopy.unlock, &UnlockControls},
  };
  for (const RuleStore& r : rules) {
    const int32_t code = SelectedAction(r.controls->list);
    if (code != 0) r.rule->SetAction(code);
    // Read whether or not the field is enabled; empty text reads as 0.
    const UINT seconds = GetDlgItemInt(Window, r.controls->field, nullptr, FALSE);
    r.rule->SetDelay(static_cast<int32_t>(ClampDelay(seconds)));
  }
  WorkingCopy.play_only_when_paused_or_stopped = IsDlgButtonChecked(Window, IDX_PLAY_ONLY_WHEN_PAUSED) == BST_CHECKED;
  WorkingCopy.always_stop_streams = IsDlgButtonChecked(Window, IDX_ALWAYS_STOP_STREAMS) == BST_CHECKED;
  WorkingCopy.lock_on_screensaver = IsDlgButtonChecked(Window, IDX_LOCK_ON_SCREENSAVER) == BST_CHECKED;
  const bool saved = WorkingCopy.SaveToIni();
  const DWORD error = saved ? ERROR_SUCCESS : GetLastError();
  // The new values hold all the same, until the player exits.
  *LiveSettings = WorkingCopy;
  // One box before the dialog closes: the user must not take lost settings for saved ones.
  if (!saved) ReportFailedIniWrite(Window, ModuleInstance, IDS_SAVE_FAILED, WorkingCopy.ini_path, error);
}

void COptionsDlg::OnCommand(WPARAM wParam, LPARAM) {
  const int id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  switch (id) {
    case IDOK:
      StoreControls();
      EndDialog(Window, IDOK);
      return;
    case IDCANCEL:
      EndDialog(Window, IDCANCEL);
      return;
    case IDB_DEFAULTS:
      OnDefaults();
      return;
    case IDC_LOCK_ACTION:
    case IDC_UNLOCK_ACTION:
    case IDC_LOGIN_ACTION:
      if (code == CBN_SELCHANGE) UpdateRuleControls(id);
      return;
    default:
      break;
  }
  if (!IsDelayField(id)) return;
  if (code == EN_KILLFOCUS) ClampDelayField(id);
  if (code == EN_CHANGE) CheckDelayField(id);
}

void COptionsDlg::OnDefaults() {
  wchar_t question[100];
  wchar_t caption[100];
  LoadText(IDS_DEFAULTS_QUESTION, question);
  LoadText(IDS_PLUGIN_NAME, caption);
  if (ShowCenteredMessageBox(Window, question, caption) != IDYES) return;
  // Only the working copy: the file and the live settings wait for OK.
  WorkingCopy.ResetToDefaults();
  LoadControls();
  LoadOptionChecks();
}

void COptionsDlg::ClampDelayField(int field_id) {
  // Written back even when unchanged, so an emptied field shows 0.
  SetDlgItemInt(Window, field_id, ClampDelay(GetDlgItemInt(Window, field_id, nullptr, FALSE)), FALSE);
}

void COptionsDlg::CheckDelayField(int field_id) {
  if (GetDlgItemInt(Window, field_id, nullptr, FALSE) <= static_cast<UINT>(MaxDelaySeconds)) return;
  // The text stays as typed; the field is corrected when it loses the focus, or at OK.
  wchar_t text[100];
  wchar_t title[100];
  LoadText(IDS_DELAY_RANGE_TEXT, text);
  LoadText(IDS_DELAY_RANGE_TITLE, title);
  EDITBALLOONTIP tip = {};
  tip.cbStruct = sizeof(tip);
  tip.pszTitle = title;
  tip.pszText = text;
  tip.ttiIcon = TTI_ERROR;
  SendDlgItemMessageW(Window, field_id, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
}

INT_PTR COptionsDlg::OnCtlColorStatic(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  if (id < IDT_HEADER_BAND || id > IDT_COPYRIGHT) return 0;
  // The header band and its texts sit on white.
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(HeaderBrush);
}

void COptionsDlg::OnDestroy() {
  // The links undo their own subclasses when their controls are destroyed.
  if (HeaderBrush) DeleteObject(HeaderBrush);
  if (TitleFont) DeleteObject(TitleFont);
  HeaderBrush = nullptr;
  TitleFont = nullptr;
  Window = nullptr;
}
