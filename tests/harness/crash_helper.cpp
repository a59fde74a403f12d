// A test program that dies on request, in each way a Windows program can die under Wine,
// so that the harness can show that every one of them fails its test. It is run only by
// the harness checks (check_verdict.sh), one test at a time through --gtest_filter.
#include <windows.h>

#include <cstdlib>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

void RunOnAnotherThread(LPTHREAD_START_ROUTINE body) {
  HANDLE thread = CreateThread(nullptr, 0, body, nullptr, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
}

DWORD WINAPI WriteToNull(void*) {
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}

// Deliberately endless: the stack runs out.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Winfinite-recursion"
#endif
DWORD WINAPI RecurseForever(void* depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(reinterpret_cast<UINT_PTR>(depth));
  return RecurseForever(reinterpret_cast<void*>(reinterpret_cast<UINT_PTR>(depth) + 1)) + frame[0];
}

DWORD WINAPI RaiseUnknownException(void*) {
  RaiseException(0xE0C0FFEE, 0, 0, nullptr);
  return 0;
}

DWORD WINAPI ThrowAndLeave(void*) { throw std::runtime_error("nobody catches this"); }

// A subclass whose saved previous procedure is itself, as a window subclassed twice by
// the same code ends up: every message recurses until the stack runs out.
LRESULT CALLBACK CallsItself(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(CallsItself, window, message, wParam, lParam) + 1;
}

void WriteToNullAtExit() { *static_cast<volatile int*>(nullptr) = 1; }

}  // namespace

TEST(Lives, PassesCleanly) { SUCCEED(); }

TEST(Dies, AccessViolationOnTheTestThread) { *static_cast<volatile int*>(nullptr) = 1; }

TEST(Dies, AccessViolationOnAnotherThread) { RunOnAnotherThread(WriteToNull); }

TEST(Dies, StackOverflowOnAnotherThread) { RunOnAnotherThread(RecurseForever); }

TEST(Dies, StackOverflowOnTheTestThread) { RecurseForever(nullptr); }

TEST(Dies, StackOverflowInAWindowProcedure) {
  HWND window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CallsItself));
  SendMessageW(window, WM_USER, 0, 0);
}

TEST(Dies, UnhandledExceptionOnAnotherThread) { RunOnAnotherThread(RaiseUnknownException); }

TEST(Dies, UncaughtCxxExceptionOnAnotherThread) { RunOnAnotherThread(ThrowAndLeave); }

TEST(Dies, Abort) { std::abort(); }

TEST(Dies, ExitWithZeroBeforeTheSummary) { std::exit(0); }

// The summary is printed, then the process crashes while it ends (a module's teardown).
TEST(Dies, CrashAfterTheSummary) { std::atexit(WriteToNullAtExit); }
