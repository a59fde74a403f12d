// Placeholder until the worker thread is built.
#include "support/win32_thread.h"

CWin32Thread::CWin32Thread()
    : ThreadHandle(nullptr), StopEvent(nullptr), ThreadId(0), RunFlag(true), Suspended(true) {
  InitializeCriticalSection(&Lock);
}
CWin32Thread::~CWin32Thread() { DeleteCriticalSection(&Lock); }
bool CWin32Thread::Create() { return false; }
void CWin32Thread::Resume() {}
bool CWin32Thread::Suspend() { return false; }
void CWin32Thread::RequestStop() { RunFlag = false; }
DWORD CWin32Thread::WaitForEnd() { return WAIT_OBJECT_0; }
bool CWin32Thread::IsRunning() { return RunFlag; }
unsigned __stdcall CWin32Thread::ThreadEntry(void*) { return 0; }
void CWin32Thread::CloseHandles() {}
