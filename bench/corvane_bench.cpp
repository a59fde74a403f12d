// corvane-bench: what the plug-in costs the player, measured on the shipped DLL in the
// stand-in host. Every figure is printed on a line of its own; comparisons are made in
// the same run, interleaved, so that ratios hold on a noisy machine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/standin/plugin_loader.h"
#include "tools/standin/standin_host.h"

namespace {

constexpr UINT BenchMessage = WM_APP + 17;
constexpr WPARAM SessionLock = 7;
constexpr WPARAM SessionUnlock = 8;

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

bool WriteText(const std::wstring& path, const std::string& text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  return written == text.size();
}

// A host INI file of about `bytes`, with the player's kind of sections around ours.
std::string HostIni(size_t bytes, const std::string& ours) {
  std::string text = "[Winamp]\r\nutf8=1\r\nskin=Default\r\n";
  int section = 0;
  while (text.size() + ours.size() < bytes / 2) {
    text += "[in_plugin" + std::to_string(section++) + "]\r\n";
    for (int k = 0; k < 20; ++k)
      text += "key" + std::to_string(k) + "=value of some length " + std::to_string(k) + "\r\n";
  }
  text += ours;
  while (text.size() < bytes) {
    text += "[out_plugin" + std::to_string(section++) + "]\r\n";
    for (int k = 0; k < 20; ++k)
      text += "key" + std::to_string(k) + "=value of some length " + std::to_string(k) + "\r\n";
  }
  return text;
}

// The bench shares the tests' Wine prefix: what it writes there it takes away again.
void ClearScreenSaverRegistry() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"ScreenSaverIsSecure");
    RegCloseKey(key);
  }
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0, KEY_SET_VALUE,
                    &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"ScreenSaverGracePeriod");
    RegCloseKey(key);
  }
}

void SetSecureScreenSaverRegistry(const wchar_t* grace) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, L"ScreenSaverIsSecure", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4);
    RegCloseKey(key);
  }
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, L"ScreenSaverGracePeriod", 0, REG_SZ, reinterpret_cast<const BYTE*>(grace),
                   static_cast<DWORD>((wcslen(grace) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
}

struct Session {
  standin::StandInHost host;
  standin::PluginLoader plugin;
  std::wstring ini;

  bool Start(const std::wstring& dll, const std::string& ini_text, const wchar_t* ini_name) {
    if (!host.Create()) return false;
    host.SetMessageHandler([](UINT message, WPARAM, LPARAM, LRESULT* result) {
      if (message != BenchMessage) return false;
      *result = 1;
      return true;
    });
    ini = TempFile(ini_name);
    WriteText(ini, ini_text);
    host.SetIniPath(Ansi(ini));
    if (!plugin.Load(dll)) {
      std::printf("cannot load %ls: %s\n", dll.c_str(), plugin.Error().c_str());
      return false;
    }
    return plugin.Init(host.Window()) == 0;
  }
  void Stop() {
    plugin.Quit();
    plugin.Unload();
    host.Destroy();
    DeleteFileW(ini.c_str());
  }
};

// --- Pass-through cost --------------------------------------------------------------------

WNDPROC ReferencePrevious = nullptr;
LRESULT CALLBACK ReferenceSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return CallWindowProcW(ReferencePrevious, w, m, wp, lp);
}

double TimePerMessage(HWND window, int count) {
  double start = Seconds();
  for (int i = 0; i < count; ++i) SendMessageW(window, BenchMessage, i, 0);
  return (Seconds() - start) / count;
}

void PassThrough(const std::wstring& dll, int blocks) {
  Session plugged;
  if (!plugged.Start(dll, "[gen_corvane]\r\nlock_on_screensaver=0\r\n", L"quillary-bench-pass.ini")) return;
  standin::StandInHost plain, referenced;
  plain.Create();
  referenced.Create();
  for (auto* h : {&plain, &referenced}) {
    h->SetMessageHandler([](UINT message, WPARAM, LPARAM, LRESULT* result) {
      if (message != BenchMessage) return false;
      *result = 1;
      return true;
    });
  }
  ReferencePrevious = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(referenced.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ReferenceSubclass)));

  const int per_block = 20000;
  std::vector<double> to_none, to_reference, plugin_ns;
  for (int b = 0; b < blocks; ++b) {
    // Rotate the order so that no variant always runs first in a block.
    double t[3] = {};
    HWND windows[3] = {plain.Window(), referenced.Window(), plugged.host.Window()};
    for (int k = 0; k < 3; ++k) {
      int v = (b + k) % 3;
      t[v] = TimePerMessage(windows[v], per_block);
    }
    to_none.push_back(t[2] / t[0]);
    to_reference.push_back(t[2] / t[1]);
    plugin_ns.push_back(t[2] * 1e9);
  }
  std::printf("pass-through: %.0f ns per message through the plug-in's subclass (median of %d blocks of %d)\n",
              Median(plugin_ns), blocks, per_block);
  std::printf("pass-through: ratio to no subclass %.3f, to a do-nothing subclass %.3f (medians of per-block ratios)\n",
              Median(to_none), Median(to_reference));
  SetWindowLongPtrW(referenced.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ReferencePrevious));
  plugged.Stop();
}

// --- Lock to pause ------------------------------------------------------------------------

void LockToPause(const std::wstring& dll, int rounds) {
  Session s;
  // Unlock does nothing, so every round starts from a playing host without a timer armed.
  if (!s.Start(dll, "[gen_corvane]\r\nunlock_action=8\r\nlock_on_screensaver=0\r\n", L"quillary-bench-lock.ini"))
    return;
  std::vector<double> lock_us, post_us;
  // Until the host's procedure has the command: what the pump does with the queue after it
  // is not part of the figure.
  auto until_command = [&s](double start) {
    s.host.PumpUntil([&] { return !s.host.Commands().empty(); }, 1000);
    for (const standin::HostEvent& e : s.host.Events())
      if (e.kind == standin::HostEvent::Kind::Command) return (e.seconds - start) * 1e6;
    return 1e6;
  };
  for (int r = 0; r < rounds; ++r) {
    s.host.SetPlayState(standin::proto::Playing);
    s.host.ClearRecords();
    double start = s.host.Now();
    SendMessageW(s.host.Window(), WM_WTSSESSION_CHANGE, SessionLock, 1);
    lock_us.push_back(until_command(start));
    SendMessageW(s.host.Window(), WM_WTSSESSION_CHANGE, SessionUnlock, 1);

    s.host.ClearRecords();
    start = s.host.Now();
    PostMessageW(s.host.Window(), WM_COMMAND, standin::proto::Pause, 0);
    post_us.push_back(until_command(start));
  }
  double lock = Median(lock_us), post = Median(post_us);
  std::printf(
      "lock-to-pause: %.1f us from the lock notification to the pause command, of which %.1f us is one post "
      "and its delivery: %.1f us of the plug-in's own (medians of %d)\n",
      lock, post, lock - post, rounds);
  s.Stop();
}

// --- The watch's CPU ----------------------------------------------------------------------

// A Windows program cannot read its own Unix scheduler figures under Wine: files are opened
// by the wineserver, so Z:\proc\self is the server. scripts/bench.sh reads them for us: for
// each step this program leaves a file in QUILLARY_PROBE_DIR, and the script answers with
// STEP.done once it has looked at the Wine process's threads.
std::string ReadSmallFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  char buffer[4096];
  DWORD read = 0;
  ReadFile(f, buffer, sizeof(buffer) - 1, &read, nullptr);
  CloseHandle(f);
  return std::string(buffer, read);
}

bool ProbeStep(standin::StandInHost& host, const std::string& dir, const char* step, std::string* answer) {
  const std::string asked = dir + "\\" + step;
  HANDLE f = CreateFileA(asked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  CloseHandle(f);
  const std::string done = asked + ".done";
  host.PumpUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
  *answer = ReadSmallFile(done);
  while (!answer->empty() && (answer->back() == '\n' || answer->back() == '\r')) answer->pop_back();
  return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The answer to "end": one line per thread that appeared with the watch, "tid run_ns switches",
// and a last line with the seconds between "start" and "end".
void PrintWatchFigures(const std::string& answer) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < answer.size()) {
    size_t to = answer.find('\n', from);
    if (to == std::string::npos) to = answer.size();
    lines.push_back(answer.substr(from, to - from));
    from = to + 1;
  }
  if (lines.size() < 2) {
    std::printf("watch-cpu: the script's answer is not understood: %s\n", answer.c_str());
    return;
  }
  const double seconds = std::strtod(lines.back().c_str(), nullptr);
  if (seconds <= 0) return;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    unsigned long tid = 0;
    unsigned long long run_ns = 0, switches = 0;
    if (std::sscanf(lines[i].c_str(), "%lu %llu %llu", &tid, &run_ns, &switches) != 3) continue;
    std::printf(
        "watch-cpu: thread %lu: %.3f ms of CPU per minute while polling (%.4f %% of one core), "
        "%.2f wake-ups per second, over %.1f s\n",
        tid, run_ns / 1e6 * 60.0 / seconds, run_ns / 1e7 / seconds, switches / seconds, seconds);
  }
}

void WatchCpu(const std::wstring& dll, DWORD seconds) {
  const char* dir = std::getenv("QUILLARY_PROBE_DIR");
  if (dir == nullptr || *dir == '\0') {
    std::printf("watch-cpu: not measured (run through scripts/bench.sh, which reads the Unix threads)\n");
    return;
  }
  standin::StandInHost idle;
  idle.Create();
  std::string answer;
  const bool answered = ProbeStep(idle, dir, "before", &answer);
  idle.Destroy();
  if (!answered) {
    std::printf("watch-cpu: not measured (the script did not answer)\n");
    return;
  }
  Session s;
  if (!s.Start(dll, "[gen_corvane]\r\nlock_on_screensaver=1\r\n", L"quillary-bench-watch.ini")) return;
  s.host.PumpFor(300);
  if (!ProbeStep(s.host, dir, "start", &answer) || answer == "0") {
    std::printf("watch-cpu: the watch started no thread that the script could see (%s)\n", answer.c_str());
    s.Stop();
    return;
  }
  s.host.PumpFor(seconds * 1000);
  if (ProbeStep(s.host, dir, "end", &answer)) PrintWatchFigures(answer);
  s.Stop();
}

// --- Quit ---------------------------------------------------------------------------------

void QuitTimes(const std::wstring& dll, int rounds) {
  std::vector<double> polling_ms, suspended_ms;
  for (int r = 0; r < rounds; ++r) {
    for (bool suspended : {false, true}) {
      Session s;
      if (!s.Start(dll, "[gen_corvane]\r\nlock_on_screensaver=1\r\nlock_action=8\r\n", L"quillary-bench-quit.ini"))
        return;
      s.host.PumpFor(200);
      if (suspended) SendMessageW(s.host.Window(), WM_WTSSESSION_CHANGE, SessionLock, 1);
      s.host.PumpFor(150);
      double start = Seconds();
      s.plugin.Quit();
      (suspended ? suspended_ms : polling_ms).push_back((Seconds() - start) * 1e3);
      s.plugin.Unload();
      s.host.Destroy();
      DeleteFileW(s.ini.c_str());
    }
  }
  std::printf("quit: %.1f ms while the watch polls, %.1f ms while it is suspended (medians of %d)\n",
              Median(polling_ms), Median(suspended_ms), rounds);
}

// --- Init and INI size --------------------------------------------------------------------

void InitTimes(const std::wstring& dll, int rounds) {
  const std::string ours =
      "[gen_corvane]\r\nlock_action=1\r\nlock_delay=0\r\nunlock_action=5\r\nunlock_delay=2\r\nlogin_action=8\r\n"
      "login_delay=0\r\nplay_only_when_paused_or_stopped=1\r\nalways_stop_streams=1\r\nlock_on_screensaver=0\r\n";
  const size_t sizes[] = {1024, 200 * 1024, 2 * 1024 * 1024};
  double medians[3] = {};
  for (int i = 0; i < 3; ++i) {
    std::wstring path = TempFile(L"quillary-bench-init.ini");
    WriteText(path, HostIni(sizes[i], ours));
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
      standin::StandInHost host;
      host.Create();
      host.SetIniPath(Ansi(path));
      standin::PluginLoader plugin;
      if (!plugin.Load(dll)) return;
      double start = Seconds();
      plugin.Init(host.Window());
      ms.push_back((Seconds() - start) * 1e3);
      plugin.Quit();
      plugin.Unload();
    }
    medians[i] = Median(ms);
    DeleteFileW(path.c_str());
    std::printf("init: %.2f ms with a host INI file of %u KB (median of %d)\n", medians[i],
                static_cast<unsigned>(sizes[i] / 1024), rounds);
  }
  std::printf("init: growth %.2fx from 1 KB to 200 KB, %.2fx from 1 KB to 2 MB\n", medians[1] / medians[0],
              medians[2] / medians[0]);
}

// --- Opening the options dialog ------------------------------------------------------------

// From the host's config call until the dialog stands painted: its modal loop shows it when
// its queue first runs empty and then tells the owner (WM_ENTERIDLE), where the bench paints
// what is still pending, takes the time and closes the dialog.
void DialogOpen(const std::wstring& dll, int rounds) {
  Session s;
  if (!s.Start(dll, "[gen_corvane]\r\nlock_on_screensaver=0\r\n", L"quillary-bench-dialog.ini")) return;
  double opened = 0;
  s.host.SetMessageHandler([&opened](UINT message, WPARAM wParam, LPARAM lParam, LRESULT*) {
    if (message != WM_ENTERIDLE || wParam != MSGF_DIALOGBOX || opened > 0) return false;
    HWND dialog = reinterpret_cast<HWND>(lParam);
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    opened = Seconds();
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return false;
  });
  // The first openings also load what every later one finds ready (fonts, classes, caches).
  // The openings are spread over some seconds: on a shared machine Wine's server is now and
  // then slowed down for a second or two, which a median over a shorter span could catch whole.
  std::vector<double> ms;
  for (int r = -3; r < rounds; ++r) {
    opened = 0;
    const double start = Seconds();
    s.plugin.Config();
    if (opened > 0 && r >= 0) ms.push_back((opened - start) * 1e3);
    s.host.PumpFor(80);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  std::printf(
      "dialog-open: %.2f ms from config to the dialog shown and painted, at %d DPI, hint hidden (median of %u)\n",
      Median(ms), dpi, static_cast<unsigned>(ms.size()));
  s.Stop();
}

void DllSize(const std::wstring& dll) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(dll.c_str(), GetFileExInfoStandard, &data))
    std::printf("dll-size: %lu bytes (%.1f KiB), as shipped (stripped)\n", data.nFileSizeLow,
                data.nFileSizeLow / 1024.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring dll = standin::ProgramFolder() + L"gen_corvane.dll";
  bool quick = false;
  bool dialog_only = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--quick") quick = true;
    if (arg == L"--dialog") dialog_only = true;
    if (arg == L"--plugin" && i + 1 < argc) dll = argv[++i];
  }
  setvbuf(stdout, nullptr, _IONBF, 0);
  SetSecureScreenSaverRegistry(L"5");
  if (dialog_only) {
    DialogOpen(dll, quick ? 30 : 100);
    ClearScreenSaverRegistry();
    return 0;
  }

  DllSize(dll);
  PassThrough(dll, quick ? 9 : 31);
  LockToPause(dll, quick ? 50 : 300);
  InitTimes(dll, quick ? 5 : 15);
  QuitTimes(dll, quick ? 3 : 7);
  DialogOpen(dll, quick ? 30 : 100);
  WatchCpu(dll, quick ? 10 : 60);
  ClearScreenSaverRegistry();
  return 0;
}
