#include "ui/options_dlg.h"

#include <commctrl.h>

#include <initializer_list>

#include "plugin/host_api.h"
#include "reactions/screensaver_watch.h"
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
  CenterOnHostWindow();
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
  const int show = ScreenSaverLocksSession() ? SW_HIDE : SW_SHOW;
  ShowWindow(GetDlgItem(Window, IDT_SCREENSAVER_HINT), show);
  ShowWindow(GetDlgItem(Window, IDT_SCREENSAVER_LINK), show);
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
  WorkingCopy.SaveToIni();
  *LiveSettings = WorkingCopy;
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
