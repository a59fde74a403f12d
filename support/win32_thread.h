// A worker thread owned by one object: created suspended, then resumed, paused and
// stopped by its owner under the object's own lock. A derived class supplies Run.
//
// A pause is cooperative: the worker stops at its next IsRunning call. The kernel's
// SuspendThread could freeze it anywhere, also while it holds the loader lock (thread
// start-up, a DLL loaded on demand), the heap lock or our own Lock, and then the owner
// would hang at its next call that needs it. Only the created thread, which has run no
// code yet, is held by the kernel until the first Resume.
//
// Classes in this file:
//   CWin32Thread  - the thread, its stop event, its lock and its two flags.
#pragma once

#include <windows.h>

class CWin32Thread {
 public:
  CWin32Thread();
  // Closes the handles; it never stops the thread: the owner calls RequestStop and
  // WaitForEnd first.
  virtual ~CWin32Thread();
  CWin32Thread(const CWin32Thread&) = delete;
  CWin32Thread& operator=(const CWin32Thread&) = delete;

  // The worker's body, on the worker thread. It loops while IsRunning() and waits on
  // GetStopEvent() with a finite timeout between passes.
  virtual void Run() = 0;

  // Makes the thread, suspended, and the stop event; true when both exist.
  bool Create();
  void Resume();
  // True when this call paused the worker; never pauses it twice. The worker finishes the
  // pass or wait it is in and stops at its next IsRunning.
  bool Suspend();
  // Clears the run flag and signals the stop event; a paused worker is resumed and
  // finishes the wait it was in before it sees the flag.
  void RequestStop();
  DWORD WaitForEnd();
  // The run flag. Called by the worker while it is paused, it waits for the next Resume
  // (or stop request) first, and answers false once StillNeeded does.
  bool IsRunning();
  HANDLE GetStopEvent() const { return StopEvent; }

 protected:
  // Asked on the worker every PauseCheckMs while it is paused: false ends the worker, whose
  // owner may never come back (a host that freed the DLL without quit, then went away).
  virtual bool StillNeeded() { return true; }
  DWORD PauseCheckMs = INFINITE;

  static unsigned __stdcall ThreadEntry(void* object);
  void CloseHandles();

  HANDLE ThreadHandle;
  HANDLE StopEvent;
  unsigned ThreadId;
  CRITICAL_SECTION Lock;
  bool RunFlag;
  bool Suspended;
  // A reference on the module that holds ThreadEntry, taken by Create for the thread and
  // dropped by the thread itself as it ends, so our code stays mapped while it runs.
  HMODULE CodeModule;
  // Manual reset; signalled while the worker may run, reset by Suspend.
  HANDLE ResumeEvent;
  // Set by the first Resume, which releases the thread the kernel holds since Create.
  bool Started;
};
