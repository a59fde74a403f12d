// Registry values that the workbench sets for a run (the screen saver's settings) and puts
// back as they were afterwards, also when the run is interrupted with Ctrl+C.
//
// Classes in this file:
//   RegistryOverrides  - the first state of every value touched, restored on demand.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace workbench {

class RegistryOverrides {
 public:
  RegistryOverrides();
  ~RegistryOverrides();  // restores
  RegistryOverrides(const RegistryOverrides&) = delete;
  RegistryOverrides& operator=(const RegistryOverrides&) = delete;

  // Writes text as REG_SZ, or removes the value when text is null. The state before the
  // first change of each value is kept for Restore.
  bool Set(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring* text);
  // Puts every touched value back; returns how many were restored.
  int Restore();

  // The value as the plug-in will read it: text, or "none" when it is missing.
  static std::wstring Read(HKEY root, const std::wstring& key, const std::wstring& name);

 private:
  struct Saved {
    HKEY root;
    std::wstring key;
    std::wstring name;
    bool existed;
    DWORD type;
    std::vector<BYTE> data;
  };
  static BOOL WINAPI OnConsoleBreak(DWORD event);

  // Ctrl+C arrives on a thread of its own.
  CRITICAL_SECTION lock_;
  std::vector<Saved> saved_;
};

}  // namespace workbench
