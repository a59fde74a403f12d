// Helpers shared by the tests: the stand-in host fixture, temporary folders and files,
// registry values that a test sets and takes away again, and the shipped DLL.
//
// Classes in this file:
//   HostTest          - fixture with a stand-in host window on the test's thread.
//   TempFolder        - a fresh folder under %TEMP%, removed with its contents.
//   ScopedRegistryValue - writes one registry value and restores the previous state.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/standin/plugin_loader.h"
#include "tools/standin/standin_host.h"

namespace testing_support {

// Path of the built gen_corvane.dll (it lies beside the test programs).
std::wstring PluginDllPath();

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& Path() const { return path_; }
  // Path of a file in the folder.
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Opens a file as another program can hold it (an editor, a backup tool): others may read
// it, but not write it, until the handle is closed.
HANDLE HoldWithoutWriteSharing(const std::wstring& path);

std::string ToAnsi(const std::wstring& text);
std::wstring ToWide(const std::string& text);

// Sets a value (or, with no data, removes it) and puts back what was there before.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name);
  ~ScopedRegistryValue();
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

  bool SetString(const std::wstring& text);
  bool SetRaw(DWORD type, const void* data, DWORD size);
  bool Remove();

 private:
  HKEY root_;
  std::wstring key_;
  std::wstring name_;
  bool had_value_ = false;
  DWORD old_type_ = 0;
  std::vector<BYTE> old_data_;
};

// Puts back what a fresh session gives the plug-in to read: no ScreenSaverIsSecure, no
// NoAutoReturnToWelcome and no LogPixels (so 96 DPI for the programs started from then on)
// under HKCU\Control Panel\Desktop, no ScreenSaverGracePeriod under Winlogon (so 5 s),
// and no screen saver running in this process. Every test program calls
// it before each test; the tests that change these values run alone (SERIAL), so no other
// test's reset can meet them half-way.
void ResetStateThePluginReads();

// Which of the given timers were still set on the window: KillTimer succeeds only for a
// timer that exists, so the check also kills them.
std::vector<UINT_PTR> TimersStillSet(HWND window, std::initializer_list<UINT_PTR> ids);

// Kernel handles, GDI objects and windows of this process, for leak checks.
struct ResourceCounts {
  DWORD handles = 0;
  DWORD gdi = 0;
  DWORD user = 0;
};
ResourceCounts CurrentResourceCounts();

}  // namespace testing_support

// A stand-in host window on the test's own thread.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Create()) << "no host window (is a display up?)"; }
  void TearDown() override { host.Destroy(); }

  standin::StandInHost host;
};
