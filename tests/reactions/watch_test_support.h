// What the screen saver watch's tests share: the three registry values it reads, and the
// screen saver state of this process.
//
// Classes in this file:
//   WatchRegistry  - the three values, removed for a test and put back afterwards.
//   ScreenSaver    - switches what SPI_GETSCREENSAVERRUNNING answers; off at both ends.
#pragma once

#include <windows.h>

#include "tests/common/test_support.h"

namespace watch_testing {

constexpr wchar_t DesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t WinlogonKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

struct WatchRegistry {
  WatchRegistry() {
    secure.Remove();
    no_welcome.Remove();
    grace.Remove();
  }
  testing_support::ScopedRegistryValue secure{HKEY_CURRENT_USER, DesktopKey, L"ScreenSaverIsSecure"};
  testing_support::ScopedRegistryValue no_welcome{HKEY_CURRENT_USER, DesktopKey, L"NoAutoReturnToWelcome"};
  testing_support::ScopedRegistryValue grace{HKEY_LOCAL_MACHINE, WinlogonKey, L"ScreenSaverGracePeriod"};
};

// Wine keeps the state per process once read, but a process that reads it for the first
// time sees what another one set: the tests that switch it run alone (SERIAL).
class ScreenSaver {
 public:
  ScreenSaver() { Set(false); }
  ~ScreenSaver() { Set(false); }
  ScreenSaver(const ScreenSaver&) = delete;
  ScreenSaver& operator=(const ScreenSaver&) = delete;
  static void Set(bool running) {
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, nullptr, 0);
  }
};

}  // namespace watch_testing
