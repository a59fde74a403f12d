// The plug-in's entry points as the host calls them, and what they share.
#pragma once

#include <windows.h>

class COptionsDlg;

int __cdecl PluginInit();
void __cdecl PluginConfig();
void __cdecl PluginQuit();

// The one error the plug-in ever shows at start-up: the system's text for the code, in a
// box captioned with the plug-in's name, owned by the host window.
void ReportStartupError(HWND host, DWORD error);

// Keeps the DLL mapped for the life of the process, for when code of ours stays reachable
// (a covered subclass, a modal loop of ours) after quit.
void PinModule();

// The options dialog while config runs it, otherwise null.
extern COptionsDlg* OpenOptionsDialog;
