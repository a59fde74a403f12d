#include "reactions/screensaver_watch.h"

#include <cstring>
#include <new>

#include "host/host_api.h"
#include "reactions/action_engine.h"
#include "reactions/polling_thread.h"
#include "reactions/session_controller.h"

int32_t HostScreenSaverSelector = 0;
UINT RegisteredScreenSaverMessage = 0;
SystemParametersInfoFunction SystemParametersInfoCall = SystemParametersInfoW;

namespace {

constexpr wchar_t DesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t WinlogonKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr int32_t DefaultGracePeriod = 5;

// Room for four digits and the terminator; a longer text does not fit and is not read.
constexpr DWORD NumberTextCapacity = 5;

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Leading blanks and one sign, then the digits up to the first other character; no digits
// give 0. False when the number does not fit 32 bits.
bool ParseDecimal(const wchar_t* text, size_t length, int32_t* value) {
  size_t i = 0;
  while (i < length && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  long long number = 0;
  for (; i < length && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    number = number * 10 + (text[i] - L'0');
    if (number > 2147483648LL) return false;
  }
  if (negative) number = -number;
  if (number > INT32_MAX || number < INT32_MIN) return false;
  *value = static_cast<int32_t>(number);
  return true;
}

// The number that a value's data stands for. Text is read only up to its first zero or the
// end of the data, whichever comes first, so data without a terminator is never overread.
int32_t NumberFromData(DWORD type, const BYTE* data, DWORD size, int32_t default_value) {
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD number;
    std::memcpy(&number, data, sizeof(number));
    return number <= INT32_MAX ? static_cast<int32_t>(number) : default_value;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return default_value;

  const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
  const size_t count = size / sizeof(wchar_t);
  size_t length = 0;
  while (length < count && text[length] != L'\0') ++length;
  // Five characters fill the buffer without a terminator: as long as a text that does
  // not fit at all.
  if (length >= NumberTextCapacity) return default_value;
  int32_t value;
  return ParseDecimal(text, length, &value) ? value : default_value;
}

}  // namespace

bool ObtainScreenSaverMessage(HWND host) {
  // The host reads the name as ANSI: a wide one would read as its first letter and share
  // the selector of every other plug-in whose name starts with it.
  const LRESULT id =
      SendMessageW(host, WM_USER, reinterpret_cast<WPARAM>(ScreenSaverMessageNameAnsi), host::QueryRegisterMessage);
  // 0 and 1 are the host's "no selector".
  if (static_cast<ULONG_PTR>(id) >= 2) {
    HostScreenSaverSelector = static_cast<int32_t>(id);
    RegisteredScreenSaverMessage = 0;
    return true;
  }
  HostScreenSaverSelector = 0;
  RegisteredScreenSaverMessage = RegisterWindowMessageW(ScreenSaverMessageName);
  return RegisteredScreenSaverMessage != 0;
}

void StartOrResumeWatch() {
  if (!Controller.Settings.lock_on_screensaver) return;
  if (Controller.HostSelector == 0 && Controller.RegisteredMessage == 0) return;
  // A worker from an earlier life of the module (freed without quit, then loaded and
  // started again) still posts to the old window: make a new one for this host.
  if (Controller.Worker &&
      !Controller.Worker->PostsTo(Controller.HostWindow, Controller.HostSelector, Controller.RegisteredMessage)) {
    StopWatch();
  }
  if (!Controller.Worker) {
    // Owned by the controller; StopWatch stops, waits for and deletes it (a worker left
    // over at unload is deleted by the controller's destructor).
    CPollingThread* worker =
        new (std::nothrow) CPollingThread(Controller.HostWindow, Controller.HostSelector, Controller.RegisteredMessage);
    if (!worker) return;
    if (!worker->Create()) {
      // No thread was started, so there is nothing to stop: stay in None, and the next
      // start tries again.
      delete worker;
      return;
    }
    Controller.Worker = worker;
  }
  Controller.Worker->Resume();
}

void SuspendWatch() {
  if (Controller.Worker) Controller.Worker->Suspend();
}

void StopWatch() {
  CPollingThread* worker = Controller.Worker;
  if (!worker) return;
  // A suspended worker is resumed with its event reset, so this takes up to one poll.
  worker->RequestStop();
  worker->WaitForEnd();
  Controller.Worker = nullptr;
  delete static_cast<CWin32Thread*>(worker);
}

void UpdateWatchAfterConfig() {
  if (Controller.Settings.lock_on_screensaver) {
    StartOrResumeWatch();
  } else {
    StopWatch();
  }
}

void OnScreenSaverMessage(HWND host) {
  if (!Controller.Settings.lock_on_screensaver || !ScreenSaverLocksSession()) return;
  // The two fields are set only when the lock rule really runs: left set, they would make
  // the next rule applied (the unlock at console connect) a screen saver reaction, which
  // OnGraceTimer drops once the screen saver has ended.
  if (!Controller.SessionAttached) return;
  Controller.ScreenSaverTriggered = true;
  Controller.GracePeriodSeconds = QueryGracePeriod();
  SuspendWatch();
  ApplyRule(Controller.Settings.lock, host);
}

void OnGraceTimer(HWND host) {
  // A window timer repeats until it is killed; a reaction runs at most once.
  KillTimer(host, GraceTimer);
  if (!ReactionTimerArmed(GraceTimer)) return;
  const int32_t action = Controller.PendingAction;
  Controller.PendingAction = DoNothing;
  // Leaves the engine idle; the delay timer is not armed, so killing it changes nothing.
  CancelReactionTimers(host);
  if (!IsScreenSaverRunning()) {
    // The user came back within the grace period: drop the action and watch again.
    StartOrResumeWatch();
    return;
  }
  // The stream test of this moment lets a Stop also end a paused stream.
  ExecuteAction(0, host, action, CurrentItemIsStream(host));
}

bool ScreenSaverLocksSession() {
  // From Vista on Windows answers itself; NoAutoReturnToWelcome belongs to Windows XP's
  // Welcome screen and is absent there, so the registry rule would count an insecure
  // screen saver as a lock. XP (and Wine) do not know the question: the rule is theirs.
  BOOL password_on_return = FALSE;
  if (SystemParametersInfoCall(SPI_GETSCREENSAVESECURE, 0, &password_on_return, 0)) return password_on_return != FALSE;
  const int32_t secure = ReadRegistryNumber(HKEY_CURRENT_USER, DesktopKey, L"ScreenSaverIsSecure", 0);
  const int32_t no_welcome = ReadRegistryNumber(HKEY_CURRENT_USER, DesktopKey, L"NoAutoReturnToWelcome", 0);
  return !(secure == 0 && no_welcome == 1);
}

bool IsScreenSaverRunning() {
  BOOL running = FALSE;
  if (!SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return false;
  return running == 1;
}

int32_t QueryGracePeriod() {
  const int32_t seconds =
      ReadRegistryNumber(HKEY_LOCAL_MACHINE, WinlogonKey, L"ScreenSaverGracePeriod", DefaultGracePeriod);
  if (seconds <= 0) return seconds;
  // One second more than Windows waits, so the reaction comes after the session is locked;
  // capped where a window timer could no longer wait that long.
  if (seconds >= LongestTimerSeconds) return LongestTimerSeconds;
  return seconds + 1;
}

int32_t ReadRegistryNumber(HKEY root, const wchar_t* key_path, const wchar_t* value_name, int32_t default_value) {
  HKEY key;
  // The key Windows itself reads: on 64-bit Windows Winlogon, a 64-bit process, never sees the
  // copy under Wow6432Node that a 32-bit process is shown. 32-bit Windows ignores the flag,
  // and keys under HKEY_CURRENT_USER have one view only.
  if (RegOpenKeyExW(root, key_path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return default_value;
  int32_t result = default_value;
  wchar_t data[NumberTextCapacity] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof(data);
  // Data larger than the buffer fails the query and gives the default.
  if (RegQueryValueExW(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
    result = NumberFromData(type, reinterpret_cast<const BYTE*>(data), size, default_value);
  }
  RegCloseKey(key);
  return result;
}
