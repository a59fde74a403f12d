// A stand-in plug-in for the workbench's own tests: small, predictable, and able to
// misbehave on request, which the real one must not. Section [fake] of the host's INI file
// chooses: keep_subclass=1 leaves its window procedure on the host window after quit;
// dialog=0 shows no dialog at config, dialog=2 shows one that OK does not close.
// It pauses a playing host at lock, resumes a paused one 300 ms after unlock (through
// timer 26983) and closes the host when the console goes to another user.
#include <windows.h>
#include <wtsapi32.h>

namespace {

struct Header {
  int version;
  const char* description;
  int(__cdecl* init)();
  void(__cdecl* config)();
  void(__cdecl* quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

int __cdecl Init();
void __cdecl Config();
void __cdecl Quit();

Header TheHeader = {0x10, "Fake plug-in", Init, Config, Quit, nullptr, nullptr};
WNDPROC Previous = nullptr;
wchar_t IniPath[MAX_PATH] = {};
constexpr UINT_PTR ResumeTimer = 26983;

int Setting(const wchar_t* key, int fallback) { return GetPrivateProfileIntW(L"fake", key, fallback, IniPath); }

void Post(HWND host, WPARAM command) { PostMessageW(host, WM_COMMAND, command, 0); }

LRESULT PlayingState(HWND host) { return SendMessageW(host, WM_USER, 0, 104); }

LRESULT CALLBACK HostProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == ResumeTimer) {
    KillTimer(host, ResumeTimer);
    if (PlayingState(host) == 3) Post(host, 40045);
    return 0;
  }
  if (message == WM_WTSSESSION_CHANGE) {
    if (wParam == WTS_SESSION_LOCK && PlayingState(host) == 1) Post(host, 40046);
    if (wParam == WTS_SESSION_UNLOCK) SetTimer(host, ResumeTimer, 300, nullptr);
    if (wParam == WTS_CONSOLE_DISCONNECT) PostMessageW(host, WM_CLOSE, 0, 0);
  }
  return CallWindowProcW(Previous, host, message, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_COMMAND) return FALSE;
  WORD id = LOWORD(wParam);
  if (id == IDOK && Setting(L"dialog", 1) == 2) return TRUE;  // the stubborn dialog
  if (id == IDOK || id == IDCANCEL) {
    WritePrivateProfileStringW(L"gen_corvane", L"fake_config", id == IDOK ? L"ok" : L"cancel", IniPath);
    EndDialog(dialog, id);
    return TRUE;
  }
  return FALSE;
}

int __cdecl Init() {
  HWND host = TheHeader.hwndParent;
  const char* path = reinterpret_cast<const char*>(SendMessageW(host, WM_USER, 0, 334));
  if (path) MultiByteToWideChar(CP_ACP, 0, path, -1, IniPath, MAX_PATH);
  Previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostProc)));
  return 0;
}

void __cdecl Config() {
  if (Setting(L"dialog", 1) == 0) return;
  DialogBoxParamW(TheHeader.hDllInstance, MAKEINTRESOURCEW(101), TheHeader.hwndParent, DialogProc, 0);
}

void __cdecl Quit() {
  HWND host = TheHeader.hwndParent;
  if (IsWindow(host) && Previous && !Setting(L"keep_subclass", 0)) {
    SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Previous));
  }
}

}  // namespace

extern "C" __declspec(dllexport) Header* __cdecl winampGetGeneralPurposePlugin() { return &TheHeader; }
