#include "support/win32_thread.h"

#include <process.h>

// The Universal CRT's _beginthreadex already holds a reference on the module of the thread
// routine, and its _endthreadex drops it through FreeLibraryAndExitThread. msvcrt.dll does
// neither, so there the class holds a reference of its own.
#if defined(_UCRT) || (defined(_MSC_VER) && _MSC_VER >= 1900)
#define CRT_PINS_THREAD_MODULE 1
#else
#define CRT_PINS_THREAD_MODULE 0
#endif

namespace {

// A reference on the module that holds the thread routine; released by the thread as its
// last act (ThreadEntry). Under a CRT that takes its own, none is needed (*module stays null).
bool PinThreadModule(HMODULE* module) {
  *module = nullptr;
#if CRT_PINS_THREAD_MODULE
  return true;
#else
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&PinThreadModule),
                            module) != FALSE;
#endif
}

}  // namespace

CWin32Thread::CWin32Thread()
    : ThreadHandle(nullptr),
      StopEvent(nullptr),
      ThreadId(0),
      RunFlag(true),
      Suspended(true),
      CodeModule(nullptr),
      ResumeEvent(nullptr),
      Started(false) {
  InitializeCriticalSection(&Lock);
}

CWin32Thread::~CWin32Thread() {
  CloseHandles();
  DeleteCriticalSection(&Lock);
}

void CWin32Thread::CloseHandles() {
  if (ThreadHandle) CloseHandle(ThreadHandle);
  if (StopEvent) CloseHandle(StopEvent);
  if (ResumeEvent) CloseHandle(ResumeEvent);
  ThreadHandle = nullptr;
  StopEvent = nullptr;
  ResumeEvent = nullptr;
}

bool CWin32Thread::Create() {
  CloseHandles();
  ThreadId = 0;
  RunFlag = true;
  Suspended = true;
  Started = false;
  CodeModule = nullptr;

  // The events come first: a worker without them could neither wait between passes nor be
  // paused. No thread is started without the module reference either, so none can outlive
  // our code.
  StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResumeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HMODULE module = nullptr;
  if (StopEvent && ResumeEvent && PinThreadModule(&module)) {
    // Read by ThreadEntry only after the first Resume, so it is set before the thread starts.
    CodeModule = module;
    ThreadHandle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, this, CREATE_SUSPENDED, &ThreadId));
    if (!ThreadHandle) {
      CodeModule = nullptr;
      if (module) FreeLibrary(module);
    }
  }
  return ThreadHandle != nullptr && StopEvent != nullptr;
}

void CWin32Thread::Resume() {
  if (!Suspended) return;
  EnterCriticalSection(&Lock);
  if (Suspended) {
    ResetEvent(StopEvent);
    Suspended = false;
    SetEvent(ResumeEvent);
    if (!Started) {
      Started = true;
      ResumeThread(ThreadHandle);  // the kernel has held it since Create
    }
  }
  LeaveCriticalSection(&Lock);
}

bool CWin32Thread::Suspend() {
  if (Suspended) return false;
  EnterCriticalSection(&Lock);
  if (Suspended) {
    LeaveCriticalSection(&Lock);
    return false;
  }
  // The worker sees this at its next IsRunning and waits there for the next Resume.
  ResetEvent(ResumeEvent);
  Suspended = true;
  LeaveCriticalSection(&Lock);
  return true;
}

void CWin32Thread::RequestStop() {
  if (StopEvent) SetEvent(StopEvent);
  if (!RunFlag) return;
  EnterCriticalSection(&Lock);
  if (RunFlag) RunFlag = false;
  // Enters Lock a second time on this thread; a critical section allows that.
  Resume();
  LeaveCriticalSection(&Lock);
}

DWORD CWin32Thread::WaitForEnd() { return WaitForSingleObject(ThreadHandle, INFINITE); }

bool CWin32Thread::IsRunning() {
  const bool on_worker = GetCurrentThreadId() == ThreadId;
  for (;;) {
    EnterCriticalSection(&Lock);
    const bool running = RunFlag;
    const bool paused = Suspended;
    LeaveCriticalSection(&Lock);
    // Only the worker itself waits out a pause; a stop request ends the pause.
    if (!on_worker || !running || !paused) return running;
    if (WaitForSingleObject(ResumeEvent, PauseCheckMs) == WAIT_TIMEOUT && !StillNeeded()) return false;
  }
}

unsigned __stdcall CWin32Thread::ThreadEntry(void* object) {
  HMODULE module = nullptr;
  if (object) {
    CWin32Thread* self = static_cast<CWin32Thread*>(object);
    module = self->CodeModule;  // read before Run: the object is not touched once Run returns
    self->Run();
  }
  // Dropping the reference and leaving happen in one call, outside our code, so even the
  // last reference can be dropped here. The CRT frees its per-thread data at thread detach.
  if (module) FreeLibraryAndExitThread(module, 0);
  _endthreadex(0);
  return 0;
}
