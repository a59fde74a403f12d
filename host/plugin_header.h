// The descriptor that a general-purpose plug-in hands to the host, and the export that
// returns it. The host reads and writes the fields directly, so the layout is fixed.
#pragma once

#include <windows.h>

struct GeneralPurposePluginHeader {
  int version;              // GeneralPurposeHeaderVersion
  const char* description;  // ANSI
  int(__cdecl* init)();     // returns 0; anything else makes the host unload the DLL
  void(__cdecl* config)();
  void(__cdecl* quit)();
  HWND hwndParent;          // written by the host before init: its main window
  HINSTANCE hDllInstance;   // written by the host before init: this DLL
};

constexpr int GeneralPurposeHeaderVersion = 0x10;

extern "C" __declspec(dllexport) GeneralPurposePluginHeader* __cdecl winampGetGeneralPurposePlugin();

// Called by the host's preferences when the user removes the plug-in, after the host's own
// confirmation. 1: the host calls quit, frees the DLL and deletes it at once; 0: it notes the
// file for removal and restarts itself.
extern "C" __declspec(dllexport) int __cdecl winampUninstallPlugin(HINSTANCE dll, HWND parent, int param);

// The one descriptor; the module instance and host window are known only through it.
extern GeneralPurposePluginHeader PluginHeader;
