// The shipped DLL loaded, run and unloaded over and over in one process, in each order in
// which the player ends a plug-in, with the screen saver watch polling: nothing may crash,
// and handles, threads, GDI and user objects must come back to where they started.
#include "tests/common/test_support.h"
#include "tests/reliability/reliability.h"

#include <tlhelp32.h>

using reliability::Figure;
using reliability::Random;

using reliability::ThreadCount;

namespace {

enum class Order { NormalExit, LogOff, Uninstall, UnloadWithoutQuit };

// One life of the plug-in in a host of its own; returns false when the DLL could not start.
bool Cycle(Order order, Random& r, const std::wstring& ini) {
  standin::StandInHost host;
  if (!host.Create()) return false;
  host.SetIniPath(testing_support::ToAnsi(ini));
  host.SetPlayState(r.Chance(50) ? standin::proto::Playing : standin::proto::Paused);
  standin::PluginLoader plugin;
  if (!plugin.Load(testing_support::PluginDllPath()) || plugin.Init(host.Window()) != 0) return false;

  // Some life: the watch starts polling at init; a lock suspends it, an unlock resumes it.
  if (r.Chance(50)) SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, 7, 1);
  if (r.Chance(30)) SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, 8, 1);
  host.PumpFor(r.Below(20));

  switch (order) {
    case Order::NormalExit:  // window first, then quit; the DLL stays until the process ends
      host.Destroy();
      plugin.Quit();
      plugin.Unload();
      break;
    case Order::LogOff:
      plugin.Quit();
      host.PumpFor(5);
      host.Destroy();
      plugin.Unload();
      break;
    case Order::Uninstall:
      plugin.Quit();
      plugin.Unload();
      host.PumpFor(5);  // the host runs on after the DLL is gone
      host.Destroy();
      break;
    case Order::UnloadWithoutQuit:
      plugin.Unload();
      host.PumpFor(5);
      host.Destroy();
      break;
  }
  return true;
}

}  // namespace

TEST(UnloadCycles, EveryOrderRepeatedLeavesNothingBehind) {
  testing_support::TempFolder folder;
  const std::wstring ini = folder.File(L"winamp.ini");
  // The watch polls from init on; the lock rule does nothing, so the host stays as it is.
  testing_support::WriteFileBytes(ini, "[gen_corvane]\r\nlock_on_screensaver=1\r\nlock_action=8\r\nunlock_action=8\r\n");
  Random r(77);

  // A first cycle settles what the process keeps for good (loader, window classes, caches).
  ASSERT_TRUE(Cycle(Order::Uninstall, r, ini));
  const testing_support::ResourceCounts before = testing_support::CurrentResourceCounts();
  const DWORD threads_before = ThreadCount();

  const int cycles = 100 * reliability::Scale();
  const Order orders[] = {Order::NormalExit, Order::LogOff, Order::Uninstall, Order::UnloadWithoutQuit};
  const DWORD start = GetTickCount();
  for (int i = 0; i < cycles; ++i) ASSERT_TRUE(Cycle(orders[i % 4], r, ini)) << "cycle " << i;

  // A worker left by an unload without quit ends within a poll.
  for (int wait = 0; wait < 300 && ThreadCount() > threads_before; ++wait) Sleep(10);
  const testing_support::ResourceCounts after = testing_support::CurrentResourceCounts();
  Figure("unload cycles: %d cycles in %.1f s; handles %lu -> %lu, threads %lu -> %lu, GDI %lu -> %lu, user %lu -> %lu",
         cycles, (GetTickCount() - start) / 1000.0, before.handles, after.handles, threads_before, ThreadCount(),
         before.gdi, after.gdi, before.user, after.user);
  EXPECT_LE(ThreadCount(), threads_before);
  EXPECT_LE(after.handles, before.handles + 4) << "a few handles of the loader's own come and go";
  EXPECT_LE(after.gdi, before.gdi);
  EXPECT_LE(after.user, before.user);
}
