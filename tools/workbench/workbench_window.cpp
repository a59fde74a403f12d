#include "tools/workbench/workbench_window.h"

#include <wtsapi32.h>

namespace workbench {

namespace {

namespace proto = standin::proto;

enum ControlId {
  IdPlay = 100,
  IdPause,
  IdStop,
  IdTrackEnd,
  IdStream,
  IdEmptyPlaylist,
  IdPlayerStatus,
  IdLock = 110,
  IdUnlock,
  IdConnect,
  IdDisconnect,
  IdSessionHint,
  IdSaverOn = 120,
  IdSaverOff,
  IdSaverStatus,
  IdConfigure = 130,
  IdUninstall,
  IdClearLog,
  IdPluginStatus,
  IdIniPath = 140,
  IdCaption = 150,  // row captions count up from here
  IdLog = 200,
};

// Each row: a caption, then its controls from left to right.
const int Rows[][7] = {
    {IdCaption + 0, IdPlay, IdPause, IdStop, IdTrackEnd, IdStream, IdEmptyPlaylist},
    {IdCaption + 1, IdLock, IdUnlock, IdConnect, IdDisconnect, 0, 0},
    {IdCaption + 2, IdSaverOn, IdSaverOff, 0, 0, 0, 0},
    {IdCaption + 3, IdConfigure, IdUninstall, IdClearLog, 0, 0, 0},
    {IdCaption + 4, IdIniPath, 0, 0, 0, 0, 0},
};
// The field that ends each row and takes the width left over.
const int RowEnd[] = {IdPlayerStatus, IdSessionHint, IdSaverStatus, IdPluginStatus, 0};

constexpr int Margin = 10;
constexpr int Gap = 6;
constexpr int RowHeight = 30;
constexpr int ControlHeight = 24;
constexpr int CaptionWidth = 92;

std::wstring Clock(int seconds) {
  wchar_t text[16];
  swprintf(text, 16, L"%d:%02d", seconds / 60, seconds % 60);
  return text;
}

}  // namespace

WorkbenchWindow::~WorkbenchWindow() {
  if (ui_font_) DeleteObject(ui_font_);
  if (log_font_) DeleteObject(log_font_);
}

bool WorkbenchWindow::Create(Workbench& bench) {
  bench_ = &bench;
  host_ = bench_->Host().Window();
  if (!host_) return false;
  SetWindowLongPtrW(host_, GWL_STYLE, GetWindowLongPtrW(host_, GWL_STYLE) | WS_CLIPCHILDREN);
  // First, so that the controls' notifications never reach the host as commands.
  bench_->SetUiHandler([this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return Handle(message, wParam, lParam, result);
  });
  bench_->SetChangeListener([this] { Refresh(); });

  // Both fonts are freed in the destructor, after the host window and its controls.
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    ui_font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  log_font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas");

  const wchar_t* captions[] = {L"Player", L"Session", L"Screen saver", L"Plug-in", L"INI file"};
  for (int i = 0; i < 5; ++i) Add(IdCaption + i, L"STATIC", captions[i], SS_LEFT | SS_CENTERIMAGE, CaptionWidth);
  const DWORD button = BS_PUSHBUTTON | WS_TABSTOP;
  Add(IdPlay, L"BUTTON", L"Play", button, 76);
  Add(IdPause, L"BUTTON", L"Pause", button, 76);
  Add(IdStop, L"BUTTON", L"Stop", button, 76);
  Add(IdTrackEnd, L"BUTTON", L"Track ends", button, 96);
  Add(IdStream, L"BUTTON", L"Stream", BS_AUTOCHECKBOX | WS_TABSTOP, 76);
  Add(IdEmptyPlaylist, L"BUTTON", L"Empty playlist", BS_AUTOCHECKBOX | WS_TABSTOP, 116);
  Add(IdPlayerStatus, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0);
  Add(IdLock, L"BUTTON", L"Lock", button, 76);
  Add(IdUnlock, L"BUTTON", L"Unlock", button, 76);
  Add(IdConnect, L"BUTTON", L"Console connect", button, 130);
  Add(IdDisconnect, L"BUTTON", L"Console disconnect", button, 146);
  Add(IdSessionHint, L"STATIC", L"WM_WTSSESSION_CHANGE 7, 8, 1, 2", SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0);
  Add(IdSaverOn, L"BUTTON", L"Start", button, 76);
  Add(IdSaverOff, L"BUTTON", L"Stop", button, 76);
  Add(IdSaverStatus, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0);
  Add(IdConfigure, L"BUTTON", L"Configure...", button, 110);
  Add(IdUninstall, L"BUTTON", L"Uninstall...", button, 110);
  Add(IdClearLog, L"BUTTON", L"Clear log", button, 90);
  Add(IdPluginStatus, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0);
  Add(IdIniPath, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_PATHELLIPSIS, 0);

  log_view_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, L"EDIT", L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0,
      0, 10, 10, host_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdLog)), nullptr, nullptr);
  if (!log_view_) return false;
  SendMessageW(log_view_, EM_SETLIMITTEXT, 0, 0);  // 0 lifts the limit as far as the control goes
  if (log_font_) SendMessageW(log_view_, WM_SETFONT, reinterpret_cast<WPARAM>(log_font_), FALSE);
  for (const std::wstring& line : pending_) Append(line);
  pending_.clear();

  SetWindowPos(host_, nullptr, 0, 0, 900, 640, SWP_NOMOVE | SWP_NOZORDER);
  Layout();
  Refresh();
  return true;
}

HWND WorkbenchWindow::Add(int id, const wchar_t* window_class, const wchar_t* text, DWORD style, int width) {
  HWND control = CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, width, ControlHeight,
                                 host_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (control && ui_font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font_), FALSE);
  controls_.push_back({id, control, width});
  return control;
}

void WorkbenchWindow::Layout() {
  RECT client;
  GetClientRect(host_, &client);
  auto find = [&](int id) -> Control* {
    for (Control& c : controls_) {
      if (c.id == id) return &c;
    }
    return nullptr;
  };
  int y = Margin;
  for (size_t row = 0; row < sizeof(Rows) / sizeof(Rows[0]); ++row) {
    int x = Margin;
    for (int id : Rows[row]) {
      Control* c = id ? find(id) : nullptr;
      if (!c) continue;
      int width = c->width ? c->width : client.right - Margin - x;
      MoveWindow(c->window, x, y, width, ControlHeight, FALSE);
      x += width + Gap;
    }
    if (Control* end = RowEnd[row] ? find(RowEnd[row]) : nullptr) {
      MoveWindow(end->window, x + Gap, y, client.right - Margin - x - Gap, ControlHeight, FALSE);
    }
    y += RowHeight;
  }
  y += Gap;
  MoveWindow(log_view_, Margin, y, client.right - 2 * Margin, client.bottom - Margin - y, FALSE);
  InvalidateRect(host_, nullptr, TRUE);
}

void WorkbenchWindow::SetBusy(bool busy) {
  busy_ = busy;
  for (const Control& c : controls_) {
    if (c.id < IdCaption && c.id != IdPlayerStatus && c.id != IdSessionHint && c.id != IdSaverStatus &&
        c.id != IdPluginStatus && c.id != IdIniPath) {
      EnableWindow(c.window, !busy);
    }
  }
  Refresh();
}

void WorkbenchWindow::Append(const std::wstring& line) {
  if (!log_view_) {
    if (!closed_) pending_.push_back(line);
    return;
  }
  int end = GetWindowTextLengthW(log_view_);
  SendMessageW(log_view_, EM_SETSEL, end, end);
  std::wstring text = (end ? L"\r\n" : L"") + line;
  SendMessageW(log_view_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  // The caret at the start of the new line keeps the view at the left, where the times are.
  LRESULT start = SendMessageW(log_view_, EM_LINEINDEX, static_cast<WPARAM>(-1), 0);
  SendMessageW(log_view_, EM_SETSEL, start, start);
  SendMessageW(log_view_, EM_SCROLLCARET, 0, 0);
}

void WorkbenchWindow::SetText(int id, const std::wstring& text) {
  HWND control = GetDlgItem(host_, id);
  wchar_t current[512] = {};
  GetWindowTextW(control, current, 512);
  if (text != current) SetWindowTextW(control, text.c_str());  // unchanged text would only flicker
}

void WorkbenchWindow::Refresh() {
  if (!host_ || !IsWindow(host_)) return;
  const standin::StandInHost& host = bench_->Host();
  std::wstring player = standin::PlayStateName(host.PlayState());
  player[0] = static_cast<wchar_t>(towupper(player[0]));
  player += L", track " + std::to_wstring(host.TrackNumber());
  player += host.IsStream() ? L" (a stream)" : L" (" + Clock(host.Length()) + L")";
  if (host.StopAfterCurrentArmed()) player += L", stops after this track";
  SetText(IdPlayerStatus, player);
  CheckDlgButton(host_, IdStream, host.IsStream() ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(host_, IdEmptyPlaylist, host.PlaylistLength() == 0 ? BST_CHECKED : BST_UNCHECKED);

  std::wstring saver = Workbench::ScreenSaverRunning() ? L"Running" : L"Not running";
  saver += L"   (ScreenSaverIsSecure " + Workbench::ReadRegistry(RegistryValue::Secure) + L", NoAutoReturnToWelcome " +
           Workbench::ReadRegistry(RegistryValue::NoAutoReturn) + L", ScreenSaverGracePeriod " +
           Workbench::ReadRegistry(RegistryValue::GracePeriod) + L")";
  SetText(IdSaverStatus, saver);

  std::wstring plugin = bench_->Loaded()        ? L"\"" + bench_->PluginDescription() + L"\" loaded"
                        : bench_->Uninstalled() ? L"Uninstalled"
                                                : L"Not loaded";
  if (bench_->Configuring()) plugin += L"; its dialog is open";
  if (busy_) plugin += L"; a script runs";
  SetText(IdPluginStatus, plugin);
  SetText(IdIniPath, bench_->IniPath());
  if (!busy_) {
    EnableWindow(GetDlgItem(host_, IdConfigure), bench_->Loaded() && !bench_->Configuring());
    EnableWindow(GetDlgItem(host_, IdUninstall), bench_->Loaded() && !bench_->Configuring());
  }
}

WorkbenchWindow* WorkbenchWindow::Removing = nullptr;

void CALLBACK WorkbenchWindow::RemoveFromPreferences(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  WorkbenchWindow* self = Removing;
  Removing = nullptr;
  if (!self || !self->bench_->Loaded()) return;
  if (self->bench_->Configuring()) {
    self->bench_->Log().Write(L"  the plug-in's dialog is open: nothing is removed");
    return;
  }
  // The player's own confirmation comes first; the plug-in may ask its own question after.
  const std::wstring question =
      L"Remove the plug-in \"" + self->bench_->PluginDescription() + L"\"? The player calls its uninstall export.";
  if (MessageBoxW(self->host_, question.c_str(), L"Player preferences", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    self->bench_->Log().Write(L"  the user keeps the plug-in");
    return;
  }
  self->bench_->Uninstall(0);
}

bool WorkbenchWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_COMMAND:
      // Controls name themselves in lParam; the plug-in's commands come with lParam 0.
      if (!lParam) return false;
      if (HIWORD(wParam) == BN_CLICKED && !busy_) OnButton(LOWORD(wParam));
      *result = 0;
      return true;
    case WM_SIZE:
      Layout();
      return false;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {760, 420};
      *result = 0;
      return true;
    case WM_DESTROY:
      log_view_ = nullptr;
      closed_ = true;
      return false;
    default:
      return false;
  }
}

void WorkbenchWindow::OnButton(int id) {
  EventLog& log = bench_->Log();
  auto say = [&](const wchar_t* what) { log.Write(std::wstring(L"button: ") + what); };
  switch (id) {
    case IdPlay:
      say(L"play");
      bench_->SetPlayState(proto::Playing);
      break;
    case IdPause:
      say(L"pause");
      bench_->SetPlayState(proto::Paused);
      break;
    case IdStop:
      say(L"stop");
      bench_->SetPlayState(proto::Stopped);
      break;
    case IdTrackEnd:
      say(L"track ends");
      bench_->EndOfTrack();
      break;
    case IdStream:
      say(L"stream");
      bench_->SetStream(IsDlgButtonChecked(host_, IdStream) == BST_CHECKED);
      break;
    case IdEmptyPlaylist:
      say(L"empty playlist");
      bench_->SetPlaylistLength(
          IsDlgButtonChecked(host_, IdEmptyPlaylist) == BST_CHECKED ? 0 : standin::DefaultPlaylistLength);
      break;
    case IdLock:
      say(L"lock");
      bench_->SendSessionChange(WTS_SESSION_LOCK);
      break;
    case IdUnlock:
      say(L"unlock");
      bench_->SendSessionChange(WTS_SESSION_UNLOCK);
      break;
    case IdConnect:
      say(L"console connect");
      bench_->SendSessionChange(WTS_CONSOLE_CONNECT);
      break;
    case IdDisconnect:
      say(L"console disconnect");
      bench_->SendSessionChange(WTS_CONSOLE_DISCONNECT);
      break;
    case IdSaverOn:
      say(L"screen saver starts");
      bench_->SetScreenSaver(true);
      break;
    case IdSaverOff:
      say(L"screen saver ends");
      bench_->SetScreenSaver(false);
      break;
    case IdConfigure:
      say(L"configure");
      if (bench_->Loaded() && !bench_->Configuring()) bench_->Configure(DialogButton::None, 0);
      break;
    case IdUninstall:
      say(L"uninstall");
      if (!bench_->Loaded() || bench_->Configuring()) break;
      // The player's preferences are a window of their own: the removal runs from the message
      // loop, not inside the main window's procedure, of which the plug-in's subclass is part.
      Removing = this;
      SetTimer(nullptr, 0, 0, RemoveFromPreferences);
      break;
    case IdClearLog:
      SetWindowTextW(log_view_, L"");
      break;
    default:
      break;
  }
  Refresh();
}

}  // namespace workbench
