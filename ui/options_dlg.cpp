#include "ui/options_dlg.h"

#include <commctrl.h>

#include <climits>
#include <cwchar>
#include <initializer_list>
#include <new>

#include "host/host_api.h"
#include "reactions/screensaver_watch.h"
#include "ui/accessible.h"
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
  int event_label;
};
constexpr RuleControls LockControls = {IDC_LOCK_ACTION, IDE_LOCK_DELAY, IDU_LOCK_DELAY,
                                       IDT_LOCK_DELAY,  IDT_LOCK_UNIT,  IDT_LOCK_EVENT};
constexpr RuleControls LoginControls = {IDC_LOGIN_ACTION, IDE_LOGIN_DELAY, IDU_LOGIN_DELAY,
                                        IDT_LOGIN_DELAY,  IDT_LOGIN_UNIT,  IDT_LOGIN_EVENT};
constexpr RuleControls UnlockControls = {IDC_UNLOCK_ACTION, IDE_UNLOCK_DELAY, IDU_UNLOCK_DELAY,
                                         IDT_UNLOCK_DELAY,  IDT_UNLOCK_UNIT,  IDT_UNLOCK_EVENT};

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

// The delay fields and their up-down controls, in the order of COptionsDlg's objects for them.
constexpr int DelayControlIds[] = {IDE_LOCK_DELAY,  IDU_LOCK_DELAY,   IDE_LOGIN_DELAY,
                                   IDU_LOGIN_DELAY, IDE_UNLOCK_DELAY, IDU_UNLOCK_DELAY};

void Append(wchar_t* text, int size, const wchar_t* part) {
  const int used = lstrlenW(text);
  if (used < size - 1) lstrcpynW(text + used, part, size - used);
}

// Screen readers would name each delay field by the label before it, alike for all three, and
// its up-down control by nothing: both are named by the texts of their row instead, as
// "event: delay (unit)".
void DelayControlName(HWND control, wchar_t* text, int size) {
  HWND dialog = GetParent(control);
  const int id = GetDlgCtrlID(control);
  for (const RuleControls* rule : {&LockControls, &LoginControls, &UnlockControls}) {
    if (rule->field != id && rule->updown != id) continue;
    wchar_t event[100], delay[100], unit[100];
    GetDlgItemTextW(dialog, rule->event_label, event, 100);
    GetDlgItemTextW(dialog, rule->delay_label, delay, 100);
    GetDlgItemTextW(dialog, rule->unit_label, unit, 100);
    // The label's colon points at the field; in the name the event's colon does that.
    for (int n = lstrlenW(delay); n > 0 && (delay[n - 1] == L':' || delay[n - 1] == L' '); --n) delay[n - 1] = L'\0';
    const wchar_t* const parts[] = {event, L": ", delay, L" (", unit, L")"};
    text[0] = L'\0';
    for (const wchar_t* part : parts) Append(text, size, part);
  }
}
const AccessibleAnswers DelayControlAnswers = {DelayControlName, 0, nullptr, nullptr};

LRESULT CALLBACK DelayControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR kept) {
  if (message == WM_GETOBJECT) {
    const LRESULT object =
        AnswerAccessibleObject(control, wParam, lParam, DelayControlAnswers, reinterpret_cast<IAccessible**>(kept));
    if (object) return object;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

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

RECT PlaceOf(HWND dialog, HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Moves a control only when it is elsewhere, so that a layout that stays costs nothing. A
// control that keeps its size keeps it untouched: a combo box takes a height as the height
// of its open list.
bool MoveControl(HWND dialog, HWND control, const RECT& r) {
  const RECT now = PlaceOf(dialog, control);
  if (r.left == now.left && r.top == now.top && r.right == now.right && r.bottom == now.bottom) return false;
  const bool same_size = r.right - r.left == now.right - now.left && r.bottom - r.top == now.bottom - now.top;
  SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (same_size ? SWP_NOSIZE : 0));
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

// How a control takes part in the layout: a text that wraps (a static, a multi-line check
// box), a frame around others that stretches with them (a group box, the header band), or
// neither. For a text, the flags with which the control draws it.
enum class Part { Fixed, Frame, Static, CheckBox };
Part PartOf(HWND control, UINT* flags) {
  wchar_t kind[8] = {};
  GetClassNameW(control, kind, 8);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (lstrcmpiW(kind, L"Button") == 0) {
    if ((style & BS_TYPEMASK) == BS_GROUPBOX) return Part::Frame;
    *flags = DT_WORDBREAK;
    return (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? Part::CheckBox : Part::Fixed;
  }
  if (lstrcmpiW(kind, L"Static") != 0) return Part::Fixed;
  if (GetWindowTextLengthW(control) == 0) return Part::Frame;
  const LONG type = style & SS_TYPEMASK;
  *flags = DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
  return type == SS_LEFT || type == SS_RIGHT ? Part::Static : Part::Fixed;
}

// The room that the control's text takes with its own font when it wraps at the width of
// `place`, as the control paints it: a check box's text starts half a digit's width right of
// its square and one pixel more, the room left for its focus rectangle. A word wider than
// the line makes it wider. `line` is the font's line height. Without memory for the text,
// the room it has.
SIZE TextRoom(HWND control, UINT flags, bool check_box, const RECT& place, int* line) {
  int length = 0;
  wchar_t* text = ControlText(control, &length);
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  *line = metrics.tmHeight > 0 ? metrics.tmHeight : 1;
  int inset = 0;
  if (check_box) {
    GetCharWidthW(dc, L'0', L'0', &inset);
    inset = GetSystemMetrics(SM_CXMENUCHECK) + inset / 2 + 1;
  }
  RECT r = {0, 0, place.right - place.left - inset, place.bottom - place.top};
  if (text) DrawTextW(dc, text, length, &r, flags | DT_CALCRECT);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  delete[] text;
  return {r.right + inset, r.bottom};
}

// How far a point at the template's height y moves down: by the growth of every row above
// it, a row (the controls with one top) growing as its tallest text.
int ShiftAt(int y, const RECT* rects, const int* grow, int count) {
  int shift = 0;
  for (int i = 0; i < count; ++i) {
    if (grow[i] == 0 || rects[i].top >= y) continue;
    bool tallest = true;
    for (int j = 0; j < count; ++j) {
      if (rects[j].top == rects[i].top && (grow[j] > grow[i] || (grow[j] == grow[i] && j < i))) tallest = false;
    }
    if (tallest) shift += grow[i];
  }
  return shift;
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
  SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
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
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      OnSystemChange(message, wParam, lParam);
      return 0;
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
  NameDelayControls();
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

void COptionsDlg::NameDelayControls() {
  // Undone in OnDestroy, while the controls still exist.
  for (int i = 0; i < DelayControls; ++i) {
    SetWindowSubclass(GetDlgItem(Window, DelayControlIds[i]), DelayControlProc, i,
                      reinterpret_cast<DWORD_PTR>(&DelayControlObjects[i]));
  }
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
  // Laid out first, so that the link never shows for a moment where the hint's text runs.
  LayOut(shown);
  ShowWindow(GetDlgItem(Window, IDT_SCREENSAVER_HINT), shown ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(Window, IDT_SCREENSAVER_LINK), shown ? SW_SHOW : SW_HIDE);
}

void COptionsDlg::TakeTableLayout() {
  int count = 0;
  for (HWND control = GetWindow(Window, GW_CHILD); control && count < MaxControls;
       control = GetWindow(control, GW_HWNDNEXT)) {
    Table.controls[count] = control;
    Table.rects[count++] = PlaceOf(Window, control);
  }
  Table.count = count;
  RECT own = {};
  GetWindowRect(Window, &own);
  Table.dialog = {own.right - own.left, own.bottom - own.top};
}

const RECT& COptionsDlg::TableRect(HWND control) const {
  int i = 0;
  while (i < Table.count - 1 && Table.controls[i] != control) ++i;
  return Table.rects[i];
}

// The template's layout where the real font fits it. A text that needs more room grows a
// line at a time (a word that cannot wrap makes it wider); what lies below moves down by as
// much, and the group boxes around it, the buttons and the dialog grow by as much. The
// screen saver hint's link, while shown, takes the line under the hint's text, for which the
// hint's row grows as for a line of its own text. Hidden, hint and link take no room.
void COptionsDlg::LayOut(bool hint_shown) {
  HWND hint = GetDlgItem(Window, IDT_SCREENSAVER_HINT);
  HWND link = GetDlgItem(Window, IDT_SCREENSAVER_LINK);
  const int count = Table.count;
  RECT place[MaxControls];
  int grow[MaxControls] = {};
  bool frame[MaxControls] = {};
  // Around each link's text, for its focus frame; the links paint with the room given here.
  const int margin = LinkFrameMargin();
  WebLink.FrameMargin = ScreenSaverLink.FrameMargin = margin;
  RECT link_place = {};  // the link's width and height, placed once the hint's top is known
  int hint_text = 0;
  for (int i = 0; i < count; ++i) {
    HWND control = Table.controls[i];
    RECT& r = place[i];
    r = Table.rects[i];
    UINT flags = 0;
    const Part part = PartOf(control, &flags);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    frame[i] = part == Part::Frame;
    const bool shown = control == hint || control == link ? hint_shown : (style & WS_VISIBLE) != 0;
    if (part < Part::Static || !shown || control == link) continue;
    int line = 1;
    const SIZE need = TextRoom(control, flags, part == Part::CheckBox, r, &line);
    // A one-line check box whose text the real font makes longer wraps, its square by the first line.
    if (part == Part::CheckBox && need.cy > line) SetWindowLongW(control, GWL_STYLE, style | BS_MULTILINE | BS_TOP);
    if (need.cx > r.right - r.left) {
      if (part == Part::Static && (style & SS_TYPEMASK) == SS_RIGHT) {
        r.left = r.right - need.cx;
      } else {
        r.right = r.left + need.cx;
      }
    }
    int height = need.cy;
    if (control == hint) {
      // The link takes the line under the hint's text: as wide as its text (at least as the
      // template), within the hint's width.
      const RECT& table_link = TableRect(link);
      const int table_width = table_link.right - table_link.left;
      UINT link_flags = 0;
      PartOf(link, &link_flags);
      int link_line = 1;
      link_place = {r.left, 0, r.right, table_link.bottom - table_link.top};
      const SIZE link_need = TextRoom(link, link_flags, false, link_place, &link_line);
      const int wanted = link_need.cx > table_width ? link_need.cx : table_width;
      if (r.left + wanted < r.right) link_place.right = r.left + wanted;
      if (link_need.cy > link_place.bottom) link_place.bottom = link_need.cy;
      // Room for the link's focus frame on every side; its text stays in line with the hint's.
      InflateRect(&link_place, margin, 0);
      link_place.bottom += 2 * margin;
      hint_text = need.cy;
      height += link_place.bottom;
    }
    // Texts grow a whole line at a time; the link's frame takes only the room it needs.
    const int room = r.bottom - r.top;
    const int frame_room = control == hint ? 2 * margin : 0;
    if (height - frame_room > room) grow[i] = (height - frame_room - room + line - 1) / line * line;
    if (room + grow[i] < height) grow[i] = height - room;
  }

  const RECT* rects = Table.rects;
  bool moved = false;
  for (int i = 0; i < count; ++i) {
    RECT& r = place[i];
    const int down = ShiftAt(rects[i].top, rects, grow, count);
    r.top = rects[i].top + down;
    r.bottom =
        frame[i] ? rects[i].bottom + ShiftAt(rects[i].bottom, rects, grow, count) : rects[i].bottom + down + grow[i];
    if (Table.controls[i] != hint || !hint_shown) continue;
    // The hint ends where its text does, so that the two never paint over each other.
    r.bottom = r.top + hint_text;
    OffsetRect(&link_place, 0, r.bottom);
  }
  HWND web_link = GetDlgItem(Window, IDT_WEB_LINK);
  for (int i = 0; i < count; ++i) {
    RECT r = Table.controls[i] == link && hint_shown ? link_place : place[i];
    if (Table.controls[i] == web_link) InflateRect(&r, margin, margin);
    moved = MoveControl(Window, Table.controls[i], r) || moved;
  }
  if (!moved) return;
  // Grown (after Defaults, say), the dialog stays inside the work area it stands in.
  RECT own = {};
  GetWindowRect(Window, &own);
  int x = own.left, y = own.top;
  const int height = Table.dialog.cy + ShiftAt(INT_MAX, rects, grow, count);
  KeepInWorkArea(own, Table.dialog.cx, height, &x, &y);
  SetWindowPos(Window, nullptr, x, y, Table.dialog.cx, height, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Window, nullptr, TRUE);
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
  // The header band and its texts sit on white; in high contrast on the scheme's window
  // colours, whose brush is the system's own and never deleted.
  SetBkMode(dc, TRANSPARENT);
  if (!HighContrastOn()) return reinterpret_cast<INT_PTR>(HeaderBrush);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
}

// High contrast switched on or off, or the colours changed: the common controls hear of it
// only from their parent, and every text is painted again in the colours that now apply.
void COptionsDlg::OnSystemChange(UINT message, WPARAM wParam, LPARAM lParam) {
  // A thicker or thinner focus frame needs another room around the links, and painting again.
  const bool frame = wParam == SPI_SETFOCUSBORDERWIDTH || wParam == SPI_SETFOCUSBORDERHEIGHT;
  if (message == WM_SETTINGCHANGE && frame) {
    LayOut((GetWindowLongW(GetDlgItem(Window, IDT_SCREENSAVER_HINT), GWL_STYLE) & WS_VISIBLE) != 0);
  }
  // Other settings (a work area, the environment, a policy) leave the colours as they are.
  if (message == WM_SETTINGCHANGE && wParam != SPI_SETHIGHCONTRAST && !frame) return;
  for (HWND control = GetWindow(Window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
    if (message == WM_SYSCOLORCHANGE) SendMessageW(control, message, wParam, lParam);
  }
  // A focused link paints its focus frame with the rest of itself.
  RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void COptionsDlg::OnDestroy() {
  // The links undo their own subclasses when their controls are destroyed; the delay
  // controls' are undone here, before theirs.
  for (int i = 0; i < DelayControls; ++i) {
    RemoveWindowSubclass(GetDlgItem(Window, DelayControlIds[i]), DelayControlProc, i);
    ReleaseAccessibleObject(&DelayControlObjects[i]);
  }
  if (HeaderBrush) DeleteObject(HeaderBrush);
  if (TitleFont) DeleteObject(TitleFont);
  HeaderBrush = nullptr;
  TitleFont = nullptr;
  Window = nullptr;
}
