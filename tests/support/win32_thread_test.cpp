#include "support/win32_thread.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <random>

#include "tests/common/test_support.h"

namespace {

// Counts its passes, records how its last wait ended and reports each time it is about to
// wait on the stop event.
class ProbeThread : public CWin32Thread {
 public:
  explicit ProbeThread(DWORD wait_ms) : wait_ms_(wait_ms), waiting_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~ProbeThread() override { CloseHandle(waiting_); }

  void Run() override {
    while (IsRunning()) {
      ++passes_;
      SetEvent(waiting_);
      last_wait_ = WaitForSingleObject(GetStopEvent(), wait_ms_);
    }
  }

  // Waits until the worker starts a wait after this call.
  bool NextWaitStarts(DWORD timeout_ms = 10000) {
    ResetEvent(waiting_);
    return WaitForSingleObject(waiting_, timeout_ms) == WAIT_OBJECT_0;
  }
  // The kernel's suspend count: SuspendThread answers the count it found.
  DWORD KernelSuspendCount() {
    DWORD count = SuspendThread(ThreadHandle);
    ResumeThread(ThreadHandle);
    return count;
  }
  bool EndsWithin(DWORD timeout_ms) { return WaitForSingleObject(ThreadHandle, timeout_ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() {
    DWORD code = STILL_ACTIVE;
    GetExitCodeThread(ThreadHandle, &code);
    return code;
  }
  bool StopEventSignalled() { return WaitForSingleObject(StopEvent, 0) == WAIT_OBJECT_0; }
  int Passes() const { return passes_; }
  DWORD LastWait() const { return last_wait_; }

 private:
  const DWORD wait_ms_;
  HANDLE waiting_;
  std::atomic<int> passes_{0};
  std::atomic<DWORD> last_wait_{WAIT_FAILED};
};

// Stops the worker however a test ends, so no thread outlives its object.
struct StopAtEnd {
  ProbeThread& t;
  ~StopAtEnd() {
    t.RequestStop();
    t.RequestStop();  // a second request signals again, should the first have met a paused worker
    t.WaitForEnd();
  }
};

}  // namespace

TEST(Win32Thread, IsRunningFromConstructionUntilTheFirstStopRequest) {
  ProbeThread t(10);
  EXPECT_TRUE(t.IsRunning()) << "before the thread exists";
  ASSERT_TRUE(t.Create());
  EXPECT_TRUE(t.IsRunning());
  t.Resume();
  ASSERT_TRUE(t.NextWaitStarts());
  EXPECT_TRUE(t.Suspend());
  EXPECT_TRUE(t.IsRunning()) << "while paused";
  t.RequestStop();
  EXPECT_FALSE(t.IsRunning());
  EXPECT_EQ(WAIT_OBJECT_0, t.WaitForEnd());
  EXPECT_EQ(0u, t.ExitCode());
}

TEST(Win32Thread, CreatedWorkerWaitsForTheFirstResumeWhichResetsTheStopEvent) {
  ProbeThread t(10);
  StopAtEnd stop{t};
  ASSERT_TRUE(t.Create());
  EXPECT_FALSE(t.Suspend()) << "still suspended from its creation";
  EXPECT_EQ(1u, t.KernelSuspendCount()) << "the failed Suspend must not suspend it again";
  Sleep(50);
  EXPECT_EQ(0, t.Passes());

  SetEvent(t.GetStopEvent());
  t.Resume();
  EXPECT_FALSE(t.StopEventSignalled());
  EXPECT_TRUE(t.NextWaitStarts());
}

TEST(Win32Thread, StopBeforeTheFirstResumeEndsTheWorkerWithoutAPass) {
  ProbeThread t(10);
  ASSERT_TRUE(t.Create());
  t.RequestStop();
  EXPECT_TRUE(t.EndsWithin(10000));
  EXPECT_EQ(0, t.Passes());
  EXPECT_EQ(0u, t.ExitCode());
}

TEST(Win32Thread, SuspendingTwiceSuspendsOnceSoOneResumeRestarts) {
  ProbeThread t(10);
  StopAtEnd stop{t};
  ASSERT_TRUE(t.Create());
  t.Resume();
  ASSERT_TRUE(t.NextWaitStarts());

  EXPECT_TRUE(t.Suspend());
  EXPECT_FALSE(t.Suspend());
  EXPECT_EQ(0u, t.KernelSuspendCount()) << "a pause never freezes the thread where it is";
  Sleep(50);  // the pass under way, if any, ends; then the worker waits in IsRunning
  const int paused_at = t.Passes();
  Sleep(50);
  EXPECT_EQ(paused_at, t.Passes()) << "a paused worker makes no passes";

  t.Resume();
  EXPECT_TRUE(t.NextWaitStarts()) << "one Resume restarts it";
}

TEST(Win32Thread, ResumeOfARunningWorkerLeavesTheStopEventAlone) {
  ProbeThread t(30000);
  StopAtEnd stop{t};
  ASSERT_TRUE(t.Create());
  t.Resume();
  ASSERT_TRUE(t.NextWaitStarts());
  SetEvent(t.GetStopEvent());
  t.Resume();
  EXPECT_TRUE(t.StopEventSignalled());
}

TEST(Win32Thread, StopOfARunningWorkerEndsItsWaitAtOnce) {
  ProbeThread t(30000);
  ASSERT_TRUE(t.Create());
  t.Resume();
  ASSERT_TRUE(t.NextWaitStarts());
  t.RequestStop();
  // Far shorter than the worker's own wait: only the signalled event can end it this soon.
  ASSERT_TRUE(t.EndsWithin(10000));
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), t.LastWait());
  EXPECT_TRUE(t.StopEventSignalled()) << "stays signalled for every later wait";
}

// A paused worker finishes the wait it was paused in (or sees the stop signal before the
// stop's own resume resets it), then ends without another pass.
TEST(Win32Thread, StopOfAPausedWorkerEndsWithinOneWaitAndPollsNoMore) {
  ProbeThread t(300);
  ASSERT_TRUE(t.Create());
  t.Resume();
  ASSERT_TRUE(t.NextWaitStarts());
  ASSERT_TRUE(t.Suspend());
  const int passes = t.Passes();
  t.RequestStop();
  EXPECT_FALSE(t.StopEventSignalled()) << "the resume inside the stop resets it";
  // The worker may already be gone, and a gone thread cannot be suspended to ask.
  const DWORD suspended = t.KernelSuspendCount();
  if (suspended != static_cast<DWORD>(-1) || !t.EndsWithin(0)) {
    EXPECT_EQ(0u, suspended) << "the stop resumes a paused worker";
  }
  ASSERT_TRUE(t.EndsWithin(10000));
  EXPECT_EQ(passes, t.Passes());
}

TEST(Win32Thread, SecondStopRequestOnlySignalsTheEventAgain) {
  ProbeThread t(30000);
  ASSERT_TRUE(t.Create());
  t.Resume();
  ASSERT_TRUE(t.NextWaitStarts());
  ASSERT_TRUE(t.Suspend());
  t.RequestStop();  // resumed into a 30 s wait with the event reset
  EXPECT_FALSE(t.IsRunning());
  t.RequestStop();
  EXPECT_TRUE(t.StopEventSignalled());
  ASSERT_TRUE(t.EndsWithin(10000)) << "the second signal ends the long wait";
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), t.LastWait());
}

// Random owner calls against real threads whose bodies test IsRunning as often as they can,
// so that Suspend meets the worker at every point of its loop.
namespace {

constexpr int StressSequences = 2000;

struct StressRun {
  unsigned seed = 20240521u;
  std::atomic<int> done{0};
  std::atomic<int> created{0};
};

DWORD WINAPI StressOwner(void* arg) {
  StressRun& run = *static_cast<StressRun*>(arg);
  std::mt19937 random(run.seed);
  for (int i = 0; i < StressSequences; ++i) {
    std::unique_ptr<ProbeThread> t(new ProbeThread(random() % 2));
    if (t->Create()) ++run.created;
    const int steps = static_cast<int>(random() % 12);
    for (int s = 0; s < steps; ++s) {
      switch (random() % 4) {
        case 0:
          t->Suspend();
          break;
        case 1:
          t->Resume();
          break;
        case 2:
          SwitchToThread();
          break;
        default:
          break;  // straight on to the next call
      }
    }
    t->RequestStop();
    if (random() % 2) t->Resume();
    if (random() % 2) t->RequestStop();
    t->WaitForEnd();
    ++run.done;
  }
  return 0;
}

}  // namespace

TEST(Win32ThreadStress, RandomSuspendResumeAndStopNeitherDeadlockNorLeakHandles) {
  // One round first, so that handles the runtime keeps from its first thread are counted.
  {
    ProbeThread warm(0);
    ASSERT_TRUE(warm.Create());
    warm.Resume();
    warm.RequestStop();
    warm.WaitForEnd();
  }
  const DWORD handles_before = testing_support::CurrentResourceCounts().handles;

  StressRun run;
  const DWORD start = GetTickCount();
  HANDLE owner = CreateThread(nullptr, 0, StressOwner, &run, 0, nullptr);
  ASSERT_NE(nullptr, owner);
  const DWORD ended = WaitForSingleObject(owner, 60000);
  const DWORD elapsed = GetTickCount() - start;
  // A stuck owner is left as it is; the process ends with the test.
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ended)
      << "deadlock: " << run.done << " of " << StressSequences << " sequences finished (seed " << run.seed << ")";
  CloseHandle(owner);
  const DWORD handles_after = testing_support::CurrentResourceCounts().handles;
  std::printf("[ stress   ] %d sequences in %lu ms; handles %lu -> %lu\n", StressSequences,
              static_cast<unsigned long>(elapsed), static_cast<unsigned long>(handles_before),
              static_cast<unsigned long>(handles_after));

  EXPECT_EQ(StressSequences, run.created.load());
  EXPECT_EQ(handles_before, handles_after);
}

// A worker paused right after its start is still running the loader's thread start-up
// under the loader lock; a pause that froze it there would hang the owner's next load.
namespace {

struct StartUpRun {
  std::atomic<int> done{0};
};

DWORD WINAPI PauseAtStartUp(void* arg) {
  StartUpRun& run = *static_cast<StartUpRun*>(arg);
  for (int i = 0; i < 1000; ++i) {
    ProbeThread t(1);
    if (!t.Create()) continue;
    t.Resume();
    t.Suspend();
    HMODULE module = LoadLibraryW(L"version.dll");  // takes the loader lock
    if (module) FreeLibrary(module);
    t.RequestStop();
    t.WaitForEnd();
    ++run.done;
  }
  return 0;
}

}  // namespace

TEST(Win32ThreadStress, PausingAStartingWorkerNeverHoldsUpTheLoader) {
  StartUpRun run;
  HANDLE owner = CreateThread(nullptr, 0, PauseAtStartUp, &run, 0, nullptr);
  ASSERT_NE(nullptr, owner);
  const DWORD ended = WaitForSingleObject(owner, 60000);
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ended) << "hung after " << run.done << " of 1000";
  CloseHandle(owner);
}
