// A stand-in for the player in the setup's tests, copied into a fake player folder as its
// Winamp.exe. Like the player it opens a "Winamp v1.x" window and keeps Plugins\gen_corvane.dll
// (from beside itself) loaded, so the file is in use while it runs. It notes in the log the
// plug-in file's size when it is asked to close and again just before it ends.
// Usage: Winamp.exe LOG_FILE
#include <windows.h>

#include <string>

#include "tools/standin/plugin_loader.h"
#include "tools/standin/standin_host.h"

namespace {

void WriteLog(const std::wstring& path, const std::string& text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

std::string SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return "none";
  return std::to_string(data.nFileSizeLow);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring log = argv[1];
  const std::wstring dll = standin::ProgramFolder() + L"Plugins\\gen_corvane.dll";

  standin::StandInHost host;
  if (!host.Create()) return 3;
  host.SetCloseDestroysWindow(true);
  standin::PluginLoader plugin;
  if (!plugin.Load(dll) || plugin.Init(host.Window()) != 0) return 4;

  std::string seen;
  host.SetMessageHandler([&](UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_CLOSE) seen = "closed with plug-in of " + SizeOf(dll) + " bytes";
    return false;  // the host's own handling destroys the window
  });
  // The title tells the test that the plug-in is loaded.
  SetWindowTextW(host.Window(), L"Winamp (ready)");

  host.PumpUntil([&] { return host.Window() == nullptr; }, INFINITE);
  // The player calls quit after its window is gone and takes a while (saving its settings)
  // before it frees its plug-ins and ends; a setup must wait for the end, not for the window.
  plugin.Quit();
  Sleep(500);
  seen += ", ended with plug-in of " + SizeOf(dll) + " bytes";
  plugin.Unload();
  WriteLog(log, seen);
  return 0;
}
