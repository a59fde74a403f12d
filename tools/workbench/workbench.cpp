#include "tools/workbench/workbench.h"

#include <cstdio>

namespace workbench {

namespace {

namespace proto = standin::proto;

// The one workbench whose host window the message hook watches.
Workbench* Hooked = nullptr;

constexpr wchar_t Section[] = L"gen_corvane";
constexpr wchar_t DesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t WinlogonKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
// The host's own settings share the INI file with the plug-in's, as in the player.
constexpr char HostSection[] = "[Winamp]\r\nvolume=200\r\n";

// Scripts press a button once the dialog has had time to show; a dialog that refuses to
// close is given up on so that a run never hangs on it.
constexpr double DialogShowLimit = 10;
constexpr double DialogCloseLimit = 5;

struct RegistryPlace {
  HKEY root;
  const wchar_t* key;
  const wchar_t* name;
  const wchar_t* shown;
};

RegistryPlace PlaceOf(RegistryValue which) {
  switch (which) {
    case RegistryValue::Secure:
      return {HKEY_CURRENT_USER, DesktopKey, L"ScreenSaverIsSecure", L"HKCU\\Control Panel\\Desktop"};
    case RegistryValue::NoAutoReturn:
      return {HKEY_CURRENT_USER, DesktopKey, L"NoAutoReturnToWelcome", L"HKCU\\Control Panel\\Desktop"};
    case RegistryValue::GracePeriod:
    default:
      return {HKEY_LOCAL_MACHINE, WinlogonKey, L"ScreenSaverGracePeriod", L"HKLM\\...\\Winlogon"};
  }
}

std::wstring FromAnsi(const char* text) {
  if (!text) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n);
  return out;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH ? std::wstring(full, n) : path;
}

std::wstring Seconds(double s) {
  wchar_t text[32];
  swprintf(text, 32, s < 1 ? L"%.0f ms" : L"%.2f s", s < 1 ? s * 1000 : s);
  return text;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteNewFile(const std::wstring& path, const char* bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  DWORD size = static_cast<DWORD>(strlen(bytes));
  BOOL ok = WriteFile(f, bytes, size, &written, nullptr);
  CloseHandle(f);
  return ok && written == size;
}

// The plug-in's options dialog: a dialog of this thread owned by the host window.
struct DialogSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindOptionsDialog(HWND owner) {
  DialogSearch search{owner, nullptr};
  if (owner) EnumThreadWindows(GetCurrentThreadId(), FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box is a dialog too; its text is the static control 0xFFFF.
std::wstring BoxText(HWND box) {
  wchar_t text[512] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 512);
  return text;
}

// How long the plug-in's question is waited for before the workbench gives up answering it.
constexpr double QuestionLimit = 10;

}  // namespace

Workbench::Workbench(EventLog& log) : log_(log) {}

Workbench::~Workbench() {
  if (opened_ && !exited_) Exit(ExitMode::Normal);
  log_.SetClock(nullptr);
}

bool Workbench::Open(const std::wstring& plugin_path, const std::wstring& ini_path, bool visible) {
  plugin_path_ = FullPath(plugin_path);
  if (!host_.Create(nullptr, visible, L"corvane-host - Quillary workbench")) {
    wchar_t text[160];
    swprintf(text, 160, L"corvane-host: cannot create the host window (error %lu); under Wine it needs a display",
             GetLastError());
    log_.WritePlain(text);
    return false;
  }
  opened_ = true;
  log_.SetClock([this] { return host_.Now(); });
  host_.SetSimulation(true);
  host_.SetCloseDestroysWindow(true);
  host_.SetMessageHandler([this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return HandleHostMessage(message, wParam, lParam, result);
  });
  host_.SetObserver([this](const standin::HostEvent& e) { OnHostEvent(e); });
  // The log names the plug-in's timers and posted messages, which its subclass takes
  // before the host sees them. Undone in CleanUp.
  Hooked = this;
  hook_ = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());

  bool fresh = ini_path.empty();
  if (fresh) {
    if (!MakeTemporaryIni()) {
      log_.Write(L"cannot make a temporary INI file");
      return false;
    }
  } else {
    // A bare name would send the private-profile functions to the Windows folder.
    ini_path_ = FullPath(ini_path);
    if (!FileExists(ini_path_)) WriteNewFile(ini_path_, HostSection);
  }
  host_.SetWideIniPath(ini_path_);
  log_.Write(L"host window of class \"Winamp v1.x\" is up; INI file " + ini_path_ + (fresh ? L" (fresh)" : L""));
  return true;
}

bool Workbench::MakeTemporaryIni() {
  wchar_t base[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, base)) return false;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    wchar_t folder[MAX_PATH];
    swprintf(folder, MAX_PATH, L"%lscorvane-host-%lu-%u", base, GetCurrentProcessId(), attempt);
    if (CreateDirectoryW(folder, nullptr)) {
      temp_folder_ = folder;
      ini_path_ = temp_folder_ + L"\\winamp.ini";
      return WriteNewFile(ini_path_, HostSection);
    }
  }
  return false;
}

bool Workbench::LoadPlugin() {
  if (loaded_) return true;
  log_.Write(L"loading " + plugin_path_);
  if (!plugin_.Load(plugin_path_)) {
    log_.Write(L"cannot load the plug-in: " + FromAnsi(plugin_.Error().c_str()));
    return false;
  }
  const standin::PluginDescriptor* d = plugin_.Descriptor();
  description_ = FromAnsi(d->description);
  wchar_t text[200];
  swprintf(text, 200, L"  descriptor: header version 0x%X, \"%ls\"; the host writes hwndParent and hDllInstance",
           static_cast<unsigned>(d->version), description_.c_str());
  log_.Write(text);
  double start = host_.Now();
  int result = plugin_.Init(host_.Window());
  log_.Write(L"init returned " + std::to_wstring(result) + L" after " + Seconds(host_.Now() - start));
  if (result != 0) {
    log_.Write(L"  the player frees a plug-in whose init does not return 0; so does the workbench");
    return false;
  }
  loaded_ = true;
  Changed();
  return true;
}

void Workbench::SetOldHost(bool old) {
  host_.SetOldHost(old);
  Note(old ? L"the player is older than 5.58: it answers 0 to query 1334, so the plug-in gets only the ANSI path"
           : L"the player answers query 1334 with its wide INI path");
}

void Workbench::SetPlayState(int state) {
  host_.SetPlayState(state);
  state_before_ = state;
  Note(std::wstring(L"the player is ") + standin::PlayStateName(state));
  Changed();
}

void Workbench::SetStream(bool on) {
  host_.SetStream(on);
  Note(on ? L"the current item is a stream: query 105 answers -1"
          : L"the current item is a track of " + std::to_wstring(host_.Length()) + L" s");
  Changed();
}

void Workbench::SetPlaylistLength(int tracks) {
  host_.SetPlaylistLength(tracks);
  Note(tracks == 0 ? L"the playlist is empty: query 124 answers 0, and play on a stopped player opens its file dialog"
                   : L"the playlist holds " + std::to_wstring(tracks) + L" tracks");
  Changed();
}

void Workbench::EndOfTrack() {
  int before = host_.PlayState();
  bool armed = host_.StopAfterCurrentArmed();
  host_.EndOfTrack();
  state_before_ = host_.PlayState();
  if (before != proto::Playing) {
    Note(L"no track plays, so none ends");
  } else if (armed) {
    Note(L"the track ends and the player stops, as stop-after-current asked");
  } else {
    Note(L"the track ends; the player goes on with track " + std::to_wstring(host_.TrackNumber()));
  }
  Changed();
}

void Workbench::SendSessionChange(WPARAM code) {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  Note(L"WM_WTSSESSION_CHANGE " + std::to_wstring(code) + L" goes to the host window");
  SendMessageW(host_.Window(), WM_WTSSESSION_CHANGE, code, session);
  Changed();
}

bool Workbench::SetScreenSaver(bool running) {
  // The plug-in's worker reads this in our process, which is where Wine keeps it.
  BOOL ok = SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, nullptr, 0);
  if (running) saver_started_ = true;
  if (!ok) {
    Note(L"SPI_SETSCREENSAVERRUNNING failed with error " + std::to_wstring(GetLastError()));
  } else {
    Note(running ? L"the screen saver runs (SPI_GETSCREENSAVERRUNNING answers 1)" : L"the screen saver has ended");
  }
  Changed();
  return ok != FALSE;
}

bool Workbench::ScreenSaverRunning() {
  BOOL running = FALSE;
  return SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0) && running;
}

bool Workbench::SetRegistry(RegistryValue which, const std::wstring* text) {
  RegistryPlace place = PlaceOf(which);
  bool ok = registry_.Set(place.root, place.key, place.name, text);
  std::wstring what = std::wstring(place.shown) + L" " + place.name;
  if (!ok) {
    Note(L"cannot change " + what);
  } else {
    Note(text ? what + L" = \"" + *text + L"\" (put back at the end)" : what + L" removed (put back at the end)");
  }
  Changed();
  return ok;
}

std::wstring Workbench::ReadRegistry(RegistryValue which) {
  RegistryPlace place = PlaceOf(which);
  return RegistryOverrides::Read(place.root, place.key, place.name);
}

bool Workbench::WriteIni(const std::wstring& key, const std::wstring& value) {
  bool ok = WritePrivateProfileStringW(Section, key.c_str(), value.c_str(), ini_path_.c_str()) != FALSE;
  Note(ok ? L"[gen_corvane] " + key + L"=" + value : L"cannot write " + key + L" to the INI file");
  return ok;
}

std::wstring Workbench::ReadIni(const std::wstring& key) const {
  wchar_t value[1024] = {};
  GetPrivateProfileStringW(Section, key.c_str(), L"", value, 1024, ini_path_.c_str());
  return value;
}

ConfigResult Workbench::Configure(DialogButton press, DWORD after_ms) {
  press_ = DialogPress();
  press_.button = press;
  press_.due = after_ms / 1000.0;
  press_.open_at = host_.Now();
  // config is called from the player's preferences, which are open behind the dialog.
  host_.SetDialogParentAnswer(reinterpret_cast<LRESULT>(host_.Window()));
  configuring_ = true;
  Changed();
  // Timers on the host window fire inside the dialog's modal loop.
  press_.task = host_.After(50, [this] { PollForDialog(); });
  plugin_.Config();
  if (press_.task) host_.Cancel(press_.task);
  press_.task = 0;
  configuring_ = false;
  host_.SetDialogParentAnswer(0);
  log_.Write(L"config returned after " + Seconds(host_.Now() - press_.open_at) +
             (press_.shown_at < 0 ? L"; no dialog showed" : L""));
  Changed();
  if (press != DialogButton::None && press_.shown_at < 0) return ConfigResult::NoDialog;
  if (press_.stayed) return ConfigResult::DialogStayed;
  return ConfigResult::Returned;
}

void Workbench::PollForDialog() {
  press_.task = 0;
  double now = host_.Now();
  HWND dialog = FindOptionsDialog(host_.Window());
  if (dialog && press_.shown_at < 0) {
    press_.shown_at = now;
    wchar_t caption[128] = {};
    GetWindowTextW(dialog, caption, 128);
    Note(std::wstring(L"the plug-in's dialog \"") + caption + L"\" is open");
  }
  if (press_.button == DialogButton::None) {
    if (press_.shown_at < 0) press_.task = host_.After(50, [this] { PollForDialog(); });
    return;
  }
  if (!dialog) {
    if (press_.shown_at < 0 && now - press_.open_at < DialogShowLimit) {
      press_.task = host_.After(50, [this] { PollForDialog(); });
    }
    return;
  }
  if (press_.pressed_at < 0) {
    // A dialog disabled under a message box of its own waits for that box first.
    if (now - press_.shown_at >= press_.due && IsWindowEnabled(dialog)) {
      int id = press_.button == DialogButton::Ok ? IDOK : IDCANCEL;
      Note(id == IDOK ? L"pressing OK" : L"pressing Cancel");
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
      press_.pressed_at = now;
    }
  } else if (!press_.stayed && now - press_.pressed_at > DialogCloseLimit) {
    press_.stayed = true;
    Note(L"the dialog is still open " + Seconds(DialogCloseLimit) + L" after the button; pressing Cancel");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  } else if (press_.stayed && now - press_.pressed_at > 2 * DialogCloseLimit) {
    Note(L"the dialog does not close; closing it");
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    return;
  }
  press_.task = host_.After(50, [this] { PollForDialog(); });
}

bool Workbench::Uninstall(int answer) {
  if (!loaded_ || quit_called_) {
    Note(L"the plug-in is not loaded; there is nothing to remove");
    return true;
  }
  Note(
      L"the user removes the plug-in in the player's preferences and confirms; the player calls "
      L"winampUninstallPlugin(dll, preferences, 0)");
  question_ = QuestionAnswer();
  question_.button = answer;
  const double start = host_.Now();
  question_.since = start;
  // Timers on the host window fire inside the message box's modal loop.
  question_.task = host_.After(50, [this] { AnswerPluginQuestion(); });
  const standin::UninstallOutcome outcome = plugin_.Uninstall(host_.Window(), false, [this] { return SafeToFree(); });
  if (question_.task) host_.Cancel(question_.task);
  question_.task = 0;
  if (question_.asked_at < 0 && answer) Note(L"the plug-in asked nothing");

  switch (outcome) {
    case standin::UninstallOutcome::NoExport:
    case standin::UninstallOutcome::Refused:
      Note(outcome == standin::UninstallOutcome::NoExport ? L"the plug-in has no winampUninstallPlugin export"
                                                          : L"winampUninstallPlugin returned 0");
      Note(L"the player notes the file for removal at its next start and restarts itself now: the music stops");
      Exit(ExitMode::Normal);
      return true;
    case standin::UninstallOutcome::FileBusy:
      quit_called_ = true;
      loaded_ = false;
      Note(L"FAILED: winampUninstallPlugin returned 1, but the DLL could not be freed after quit");
      return false;
    case standin::UninstallOutcome::Removed:
      break;
  }
  quit_called_ = true;
  loaded_ = false;
  uninstalled_ = true;
  log_.Write(L"winampUninstallPlugin returned 1; quit and FreeLibrary after " + Seconds(host_.Now() - start) +
             L"; the player deletes the file now (the workbench keeps " + plugin_path_ + L")");
  host_.PumpFor(300);
  if (host_.Window()) {
    LRESULT state = SendMessageW(host_.Window(), WM_USER, 0, proto::QueryPlayingState);
    Note(L"the player runs on without the plug-in (playing state " + std::to_wstring(state) + L")");
  }
  Changed();
  return true;
}

void Workbench::AnswerPluginQuestion() {
  question_.task = 0;
  HWND box = FindOptionsDialog(host_.Window());
  if (box && question_.asked_at < 0) {
    question_.asked_at = host_.Now();
    Note(L"the plug-in asks: \"" + BoxText(box) + L"\"");
    if (question_.button) {
      Note(question_.button == IDYES ? L"answering Yes" : L"answering No");
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(question_.button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, question_.button)));
    }
    return;
  }
  if (host_.Now() - question_.since < QuestionLimit)
    question_.task = host_.After(50, [this] { AnswerPluginQuestion(); });
}

// After quit the host window's procedure must not lie in the DLL any more: freeing it then
// would take the player down at its next message.
bool Workbench::SafeToFree() {
  HWND window = host_.Window();
  auto procedure = reinterpret_cast<const void*>(window ? GetWindowLongPtrW(window, GWLP_WNDPROC) : 0);
  if (!plugin_.ImageContains(procedure)) return true;
  Note(L"after quit the host window's procedure still lies in the DLL; the player could not free it");
  return false;
}

void Workbench::Quit(const wchar_t* when) {
  double start = host_.Now();
  plugin_.Quit();
  quit_called_ = true;
  log_.Write(std::wstring(L"quit returned after ") + Seconds(host_.Now() - start) + L" (" + when + L")");
}

void Workbench::QuitAfterClose() {
  if (!loaded_ || quit_called_) return;
  Quit(L"called after the host window was destroyed");
  plugin_.Release();
}

bool Workbench::Exit(ExitMode mode) {
  if (exited_) return true;
  bool ok = true;
  if (loaded_ && !quit_called_) {
    switch (mode) {
      case ExitMode::Normal:
        Note(L"the player exits: its window is destroyed, then it calls quit");
        host_.Destroy();
        Quit(L"the window is gone");
        // The player leaves the DLL mapped; its teardown runs at process exit.
        plugin_.Release();
        break;
      case ExitMode::Logoff:
        Note(L"log-off: the player calls quit while its window still exists");
        Quit(L"the window still exists");
        host_.Destroy();
        plugin_.Release();
        break;
      case ExitMode::Uninstall: {
        Note(L"uninstall: the player calls quit, then frees the DLL");
        Quit(L"the window still exists");
        HWND window = host_.Window();
        auto procedure = reinterpret_cast<const void*>(window ? GetWindowLongPtrW(window, GWLP_WNDPROC) : 0);
        if (plugin_.ImageContains(procedure)) {
          Note(
              L"FAILED: after quit the host window's procedure still lies in the DLL; freeing it would take the "
              L"player down at its next message");
          ok = false;
          host_.Destroy();
          plugin_.Release();
          break;
        }
        plugin_.Unload();
        Note(L"the DLL is freed");
        host_.PumpFor(300);
        if (host_.Window()) {
          LRESULT state = SendMessageW(host_.Window(), WM_USER, 0, proto::QueryPlayingState);
          Note(L"the host still answers after the DLL is gone (playing state " + std::to_wstring(state) + L")");
        }
        host_.Destroy();
        break;
      }
    }
  } else if (host_.Window()) {
    host_.Destroy();
  }
  CleanUp();
  exited_ = true;
  return ok;
}

void Workbench::CleanUp() {
  if (saver_started_ && ScreenSaverRunning()) SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, nullptr, 0);
  saver_started_ = false;
  int restored = registry_.Restore();
  if (restored > 0) Note(L"registry put back as it was (" + std::to_wstring(restored) + L" values)");
  if (hook_) UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
  if (Hooked == this) Hooked = nullptr;
  if (!temp_folder_.empty()) {
    DeleteFileW(ini_path_.c_str());
    RemoveDirectoryW(temp_folder_.c_str());
    temp_folder_.clear();
  }
}

bool Workbench::HandleHostMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
    // The user closes the player: its normal exit, not a command of the plug-in.
    closed_by_user_ = true;
    Note(L"the user closes the player");
    DestroyWindow(host_.Window());
    *result = 0;
    return true;
  }
  if (message == WM_DESTROY && ui_handler_) PostQuitMessage(0);  // ends the window's message loop
  return ui_handler_ && ui_handler_(message, wParam, lParam, result);
}

void Workbench::OnHostEvent(const standin::HostEvent& e) {
  Note(DescribeHostEvent(e, host_, state_before_));
  state_before_ = host_.PlayState();
  Changed();
}

LRESULT CALLBACK Workbench::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE && Hooked) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg->hwnd && msg->hwnd == Hooked->host_.Window()) {
      std::wstring text = DescribeQueuedMessage(msg->message, msg->wParam, msg->lParam, Hooked->host_);
      if (!text.empty()) Hooked->Note(text);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Workbench::Note(const std::wstring& text) { log_.Write(L"  " + text); }

void Workbench::Changed() {
  if (changed_) changed_();
}

}  // namespace workbench
