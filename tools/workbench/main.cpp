// corvane-host: loads gen_corvane.dll as the player does and reports what it finds.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/standin/plugin_loader.h"
#include "tools/standin/standin_host.h"

namespace {

std::wstring DefaultPluginPath() { return standin::ProgramFolder() + L"gen_corvane.dll"; }

int Describe(const std::wstring& path) {
  standin::StandInHost host;
  if (!host.Create()) {
    std::printf("corvane-host: cannot create the host window (error %lu)\n", GetLastError());
    return 2;
  }
  standin::PluginLoader plugin;
  if (!plugin.Load(path)) {
    std::printf("corvane-host: %ls: %s\n", path.c_str(), plugin.Error().c_str());
    return 1;
  }
  const standin::PluginDescriptor* d = plugin.Descriptor();
  std::printf("loaded      %ls\n", path.c_str());
  std::printf("version     0x%X\n", static_cast<unsigned>(d->version));
  std::printf("description %s\n", d->description ? d->description : "(none)");
  std::printf("entries     init %s, config %s, quit %s\n", d->init ? "yes" : "no", d->config ? "yes" : "no",
              d->quit ? "yes" : "no");
  int result = plugin.Init(host.Window());
  std::printf("init        returned %d\n", result);
  if (result != 0) return 1;
  host.PumpFor(100);
  plugin.Quit();
  std::printf("quit        done\n");
  plugin.Unload();
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring path = DefaultPluginPath();
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--plugin" && i + 1 < argc) path = argv[++i];
  }
  return Describe(path);
}
