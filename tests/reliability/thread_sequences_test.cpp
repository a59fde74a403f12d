// Random lives of the worker thread class: create, pause, resume, stop, wait and delete in
// any order the owner may make them, against real threads. Nothing may deadlock, and the
// process's handles and threads come back to where they started.
#include <atomic>

#include "support/win32_thread.h"
#include "tests/common/test_support.h"
#include "tests/reliability/reliability.h"

#include <tlhelp32.h>

using reliability::Figure;
using reliability::Random;

using reliability::ThreadCount;

namespace {

// Polls as the screen saver watch does, only faster.
class Poller : public CWin32Thread {
 public:
  explicit Poller(DWORD wait_ms) : wait_ms_(wait_ms) {}
  void Run() override {
    while (IsRunning()) {
      ++passes;
      WaitForSingleObject(GetStopEvent(), wait_ms_);
    }
  }
  std::atomic<int> passes{0};

 private:
  DWORD wait_ms_;
};

struct Sequences {
  int sequences = 0;
  std::atomic<int> done{0};
  std::atomic<int> pauses{0};
};

DWORD WINAPI Owner(void* arg) {
  Sequences& run = *static_cast<Sequences*>(arg);
  Random r(31337);
  for (int i = 0; i < run.sequences; ++i) {
    Poller* t = new Poller(r.Below(3));
    if (r.Chance(95)) t->Create();  // sometimes a worker that never got a thread
    for (uint32_t s = 0, steps = r.Below(10); s < steps; ++s) {
      switch (r.Below(5)) {
        case 0:
          if (t->Suspend()) ++run.pauses;
          break;
        case 1:
          t->Resume();
          break;
        case 2:
          Sleep(r.Below(2));
          break;
        case 3:
          SwitchToThread();
          break;
        default:
          break;
      }
    }
    t->RequestStop();
    if (r.Chance(30)) t->RequestStop();
    t->WaitForEnd();
    delete static_cast<CWin32Thread*>(t);  // as the watch deletes it
    ++run.done;
  }
  return 0;
}

}  // namespace

TEST(ThreadSequences, RandomLivesNeitherDeadlockNorLeak) {
  {
    Poller warm(0);  // the runtime keeps a little from its first thread
    warm.Create();
    warm.Resume();
    warm.RequestStop();
    warm.WaitForEnd();
  }
  const DWORD threads_before = ThreadCount();
  const DWORD handles_before = testing_support::CurrentResourceCounts().handles;

  Sequences run;
  run.sequences = 5000 * reliability::Scale();
  const DWORD start = GetTickCount();
  HANDLE owner = CreateThread(nullptr, 0, Owner, &run, 0, nullptr);
  ASSERT_NE(nullptr, owner);
  // The watchdog: a stuck owner is left as it is, and the process ends with the test.
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(owner, 100000))
      << "deadlock after " << run.done << " of " << run.sequences << " sequences";
  CloseHandle(owner);
  const DWORD elapsed = GetTickCount() - start;

  for (int wait = 0; wait < 200 && ThreadCount() > threads_before; ++wait) Sleep(10);
  const DWORD threads_after = ThreadCount();
  const DWORD handles_after = testing_support::CurrentResourceCounts().handles;
  Figure("thread sequences: %d in %.1f s, %d pauses; threads %lu -> %lu, handles %lu -> %lu", run.sequences,
         elapsed / 1000.0, run.pauses.load(), threads_before, threads_after, handles_before, handles_after);
  EXPECT_EQ(threads_before, threads_after);
  EXPECT_EQ(handles_before, handles_after);
}
