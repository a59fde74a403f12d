// A worker thread owned by one object: created suspended, then resumed, suspended and
// stopped by its owner under the object's own lock. A derived class supplies Run.
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
  // True when this call suspended the worker; never suspends it twice.
  bool Suspend();
  // Clears the run flag and signals the stop event; a paused worker is resumed and
  // finishes the wait it was in before it sees the flag.
  void RequestStop();
  DWORD WaitForEnd();
  bool IsRunning();
  HANDLE GetStopEvent() const { return StopEvent; }

 protected:
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
};
