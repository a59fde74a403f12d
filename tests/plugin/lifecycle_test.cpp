// init, config and quit as the host calls them, with the registration for session
// notifications replaced where a test needs it to fail.
#include <cstdlib>
#include <new>

#include "host/host_api.h"
#include "plugin/host_window_hook.h"
#include "plugin/plugin_entry.h"
#include "host/plugin_header.h"
#include "reactions/polling_thread.h"
#include "reactions/session_controller.h"
#include "tests/common/test_support.h"
#include "ui/options_dlg.h"

namespace {

// The registration as the session services would answer: `failures` times with `error`,
// then with success (or never, when failures is negative).
int FakeFailures = 0;
DWORD FakeError = 0;
int FakeCalls = 0;
BOOL WINAPI FakeRegister(HWND, DWORD) {
  ++FakeCalls;
  if (FakeFailures < 0 || FakeCalls <= FakeFailures) {
    SetLastError(FakeError);
    return FALSE;
  }
  return TRUE;
}

// Records every message box shown on this thread and closes it with OK.
struct MessageBoxCatcher {
  struct Box {
    std::wstring caption;
    std::wstring text;
  };
  static std::vector<Box> boxes;
  static HHOOK hook;
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
      HWND box = reinterpret_cast<HWND>(wParam);
      wchar_t cls[16] = {};
      GetClassNameW(box, cls, 16);
      if (std::wstring(cls) == L"#32770") {
        wchar_t caption[128] = {}, text[512] = {};
        GetWindowTextW(box, caption, 128);
        GetDlgItemTextW(box, 0xFFFF, text, 512);
        bool seen = false;
        for (HWND h : handles) seen = seen || h == box;
        if (!seen) {
          handles.push_back(box);
          boxes.push_back({caption, text});
          PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
      }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
  }
  static std::vector<HWND> handles;
  MessageBoxCatcher() { hook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId()); }
  ~MessageBoxCatcher() { UnhookWindowsHookEx(hook); }
};
std::vector<MessageBoxCatcher::Box> MessageBoxCatcher::boxes;
std::vector<HWND> MessageBoxCatcher::handles;
HHOOK MessageBoxCatcher::hook = nullptr;

std::wstring SystemText(DWORD code) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400, text, 512, nullptr);
  return text;
}

class LifecycleTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    PluginHeader.hwndParent = host.Window();
    PluginHeader.hDllInstance = GetModuleHandleW(nullptr);
    host.SetIniPath(testing_support::ToAnsi(folder.File(L"winamp.ini")));
    RegistrationRetryIntervalMs = 20;
  }
  void TearDown() override {
    PluginQuit();
    HostTest::TearDown();
  }
  void FailRegistration(int failures, DWORD error) {
    FakeFailures = failures;
    FakeError = error;
    FakeCalls = 0;
    RegisterSessionNotification = FakeRegister;
  }
  bool Subclassed() { return GetWindowLongPtrW(host.Window(), GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(HostWindowProc); }

  testing_support::TempFolder folder;
  MessageBoxCatcher catcher;
};

}  // namespace

TEST_F(LifecycleTest, InitHooksTheHostWindowAndReturnsZero) {
  EXPECT_EQ(0, PluginInit());
  EXPECT_TRUE(RegisteredForNotifications);
  EXPECT_TRUE(Subclassed());
  EXPECT_TRUE(MessageBoxCatcher::boxes.empty());
}

TEST_F(LifecycleTest, RefusedRegistrationShowsOneBoxAndInitGoesOn) {
  testing_support::WriteFileBytes(folder.File(L"winamp.ini"), "[gen_corvane]\r\nlock_action=2\r\n");
  FailRegistration(-1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(0, PluginInit());
  ASSERT_EQ(1u, MessageBoxCatcher::boxes.size());
  EXPECT_EQ(L"Quillary", MessageBoxCatcher::boxes[0].caption);
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED).substr(0, 20), MessageBoxCatcher::boxes[0].text.substr(0, 20));
  EXPECT_FALSE(Subclassed());
  EXPECT_FALSE(RegisteredForNotifications);
  EXPECT_EQ(Stop, Controller.Settings.lock.action) << "the settings are loaded all the same";
  host.PumpFor(100);
  EXPECT_EQ(1, FakeCalls) << "only the session services' start-up delay is retried";
}

TEST_F(LifecycleTest, SessionServicesNotReadyAreWaitedForWithoutABox) {
  FailRegistration(2, SessionServicesNotReady);
  EXPECT_EQ(0, PluginInit());
  EXPECT_TRUE(Subclassed()) << "the window is hooked at once, so timers and the screen saver work meanwhile";
  EXPECT_FALSE(RegisteredForNotifications);
  EXPECT_TRUE(host.PumpUntil([] { return RegisteredForNotifications; }, 3000));
  EXPECT_EQ(3, FakeCalls);
  host.PumpFor(100);
  EXPECT_EQ(3, FakeCalls) << "retrying stops once registered";
  EXPECT_TRUE(MessageBoxCatcher::boxes.empty());
  EXPECT_EQ(0u, host.CountEvents(standin::HostEvent::Kind::Timer)) << "the retry timer is the plug-in's own";
}

TEST_F(LifecycleTest, RetryingGivesUpWithTheBoxAfterItsLimit) {
  RegistrationRetryLimit = 3;
  FailRegistration(-1, SessionServicesNotReady);
  PluginInit();
  EXPECT_TRUE(MessageBoxCatcher::boxes.empty());
  EXPECT_TRUE(host.PumpUntil([] { return !MessageBoxCatcher::boxes.empty(); }, 3000));
  host.PumpFor(100);
  EXPECT_EQ(4, FakeCalls) << "the first call and three retries";
  ASSERT_EQ(1u, MessageBoxCatcher::boxes.size());
  EXPECT_EQ(SystemText(SessionServicesNotReady).substr(0, 20), MessageBoxCatcher::boxes[0].text.substr(0, 20));
}

TEST_F(LifecycleTest, AnotherErrorDuringTheRetriesIsReportedAtOnce) {
  FailRegistration(-1, SessionServicesNotReady);
  PluginInit();
  FakeError = ERROR_ACCESS_DENIED;
  EXPECT_TRUE(host.PumpUntil([] { return !MessageBoxCatcher::boxes.empty(); }, 3000));
  host.PumpFor(100);
  EXPECT_EQ(2, FakeCalls);
  ASSERT_EQ(1u, MessageBoxCatcher::boxes.size());
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED).substr(0, 20), MessageBoxCatcher::boxes[0].text.substr(0, 20));
}

TEST_F(LifecycleTest, QuitStopsAPendingRetry) {
  FailRegistration(-1, SessionServicesNotReady);
  PluginInit();
  PluginQuit();
  // A timer left behind would fire at the host for the life of the process, even when
  // nothing of ours answers it any more.
  EXPECT_EQ(std::vector<UINT_PTR>(),
            testing_support::TimersStillSet(host.Window(), {RegistrationRetryTimer, DelayTimer, GraceTimer}));
  int calls = FakeCalls;
  host.PumpFor(150);
  EXPECT_EQ(calls, FakeCalls);
  EXPECT_FALSE(Subclassed());
}

TEST_F(LifecycleTest, QuitAfterTheHostDestroyedItsWindowIsHarmless) {
  PluginInit();
  host.Destroy();
  PluginQuit();
  EXPECT_FALSE(RegisteredForNotifications);
}

namespace {
WNDPROC CoveredProc = nullptr;
LRESULT CALLBACK CoveringProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return CallWindowProcW(CoveredProc, w, m, wp, lp); }
}  // namespace

TEST_F(LifecycleTest, QuitUnderAnotherSubclassLeavesAPassThrough) {
  PluginInit();
  CoveredProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(host.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CoveringProc)));
  PluginQuit();
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(CoveringProc), GetWindowLongPtrW(host.Window(), GWLP_WNDPROC));
  // HostWindowProc stays in the chain but only passes messages on.
  host.SetPlayState(standin::proto::Playing);
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, 7, 1);
  host.PumpFor(30);
  EXPECT_TRUE(host.Commands().empty());
  EXPECT_EQ(1u, host.CountEvents(standin::HostEvent::Kind::SessionChange));
}

// Config when the dialog object cannot be allocated: operator new fails on demand.
namespace {
bool FailAllocations = false;
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (FailAllocations) return nullptr;
  return std::malloc(size ? size : 1);
}

TEST_F(LifecycleTest, ConfigWithoutMemoryOpensNothing) {
  PluginInit();
  FailAllocations = true;
  PluginConfig();
  FailAllocations = false;
  EXPECT_EQ(nullptr, OpenOptionsDialog);
}

// Blocks from nothrow new[] not freed yet: the plug-in's INI path buffers among them.
namespace {
std::vector<void*> LiveArrays;
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  void* block = std::malloc(size ? size : 1);
  LiveArrays.push_back(block);
  return block;
}
void operator delete[](void* block) noexcept {
  for (auto it = LiveArrays.begin(); it != LiveArrays.end(); ++it) {
    if (*it != block) continue;
    LiveArrays.erase(it);
    break;
  }
  std::free(block);
}
void operator delete[](void* block, size_t) noexcept { operator delete[](block); }

namespace {
BOOL CALLBACK AnswerNo(HWND window, LPARAM) {
  PostMessageW(window, WM_COMMAND, IDNO, 0);
  return TRUE;
}
struct PausedWorker : CPollingThread {
  using CPollingThread::CPollingThread;
  bool EndsWithin(DWORD ms) { return WaitForSingleObject(ThreadHandle, ms) == WAIT_OBJECT_0; }
};
}  // namespace

// One INI path however often init runs; a dialog that cannot be made is not left open; the
// box's placing hook lets older hooks see its activation; a paused worker whose window
// is gone (freed without quit, then the host closed) ends instead of waiting for ever.
TEST_F(LifecycleTest, NothingLeaksOrWaitsForever) {
  const size_t arrays = LiveArrays.size();
  for (int i = 0; i < 3; ++i) {
    PluginInit();
    PluginQuit();
  }
  EXPECT_EQ(arrays + 1, LiveArrays.size()) << "one path, replaced at each init";

  PluginHeader.hDllInstance = GetModuleHandleW(L"kernel32.dll");  // no dialog 102 there
  PluginConfig();
  EXPECT_EQ(nullptr, OpenOptionsDialog);

  const UINT_PTR guard = host.After(5000, [] {
    ADD_FAILURE() << "the older hook never saw the box";
    EnumThreadWindows(GetCurrentThreadId(), AnswerNo, 0);
  });
  ShowCenteredMessageBox(host.Window(), L"text", L"caption");
  host.Cancel(guard);
  EXPECT_EQ(1u, MessageBoxCatcher::boxes.size());

  standin::StandInHost doomed;
  ASSERT_TRUE(doomed.Create());
  PausedWorker worker(doomed.Window(), standin::proto::FirstMessageSelector, 0);
  ASSERT_TRUE(worker.Create());
  worker.Resume();
  worker.Suspend();
  doomed.Destroy();
  EXPECT_TRUE(worker.EndsWithin(5000));
  worker.RequestStop();
  worker.WaitForEnd();
}
