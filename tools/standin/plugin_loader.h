// Loads a general-purpose plug-in DLL the way the host player does: the export, the
// header version, hwndParent and hDllInstance, then init; config and quit on request.
//
// Classes in this file:
//   PluginLoader  - one loaded plug-in DLL.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace standin {

// The descriptor as the host sees it (the plug-in's side declares its own).
struct PluginDescriptor {
  int version;
  const char* description;
  int(__cdecl* init)();
  void(__cdecl* config)();
  void(__cdecl* quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

constexpr int AcceptedHeaderVersion = 0x10;
constexpr char PluginExportName[] = "winampGetGeneralPurposePlugin";
// Optional: int __cdecl (HINSTANCE dll, HWND parent, int param), called when the user removes
// the plug-in in the player's preferences.
constexpr char UninstallExportName[] = "winampUninstallPlugin";

// How the player's road of removing a plug-in ended.
enum class UninstallOutcome {
  NoExport,  // no winampUninstallPlugin: the player notes the file for removal and restarts
  Refused,   // it returned 0: the same; the DLL stays loaded until that restart
  Removed,   // it returned 1: quit, FreeLibrary, and the file deleted (or free to be)
  FileBusy,  // it returned 1, but the file is still mapped after FreeLibrary: removal at restart
};

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader();
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // LoadLibraryW and the export; false (with Error() set) when the DLL is no plug-in.
  bool Load(const std::wstring& path);
  // Fills hwndParent and hDllInstance and calls init. A result other than 0 makes the
  // host free the DLL at once, as the player does.
  int Init(HWND host_window);
  void Config();
  void Quit();
  // FreeLibrary, without calling quit (callers choose the order, as the player's exits do).
  void Unload();
  // The user removed the plug-in in the preferences and confirmed the player's question: the
  // export with (dll, parent, 0); on 1, quit, FreeLibrary and, with delete_file, the file
  // deleted (without, only whether it could be). On 0 or without the export nothing more.
  // safe_to_free, when given, is asked after quit; false keeps the DLL mapped (FileBusy).
  UninstallOutcome Uninstall(HWND parent, bool delete_file, const std::function<bool()>& safe_to_free = nullptr);
  // Forgets the DLL without freeing it: the player keeps a plug-in mapped until the process
  // ends unless it is uninstalled, so the module's teardown then runs at process exit.
  void Release();
  // Whether an address lies inside the loaded DLL's image (a window procedure left behind).
  bool ImageContains(const void* address) const;
  // Points the loaded DLL's import of `function` from `dll` at `replacement`, so that the
  // host process can stand in for what Windows would answer the plug-in (session services
  // that refuse a registration, a second monitor). Call it between Load and Init; the
  // previous address, or null when the DLL imports no such function.
  void* ReplaceImport(const char* dll, const char* function, void* replacement);

  bool Loaded() const { return module_ != nullptr; }
  HMODULE Module() const { return module_; }
  PluginDescriptor* Descriptor() const { return descriptor_; }
  const std::string& Error() const { return error_; }

 private:
  HMODULE module_ = nullptr;
  std::wstring path_;
  PluginDescriptor* descriptor_ = nullptr;
  std::string error_;
};

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();

}  // namespace standin
