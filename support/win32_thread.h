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

  bool Create();
  void Resume();
  bool Suspend();
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
};
