#include "reactions/polling_thread.h"

#include "reactions/screensaver_watch.h"

namespace {

// One system query a second while the watch polls.
constexpr DWORD PollIntervalMs = 1000;

}  // namespace

CPollingThread::CPollingThread(HWND host_window, int32_t host_selector, UINT registered_message)
    : HostWindow(host_window), HostSelector(host_selector), RegisteredMessage(registered_message) {
  PauseCheckMs = PollIntervalMs;
}

CPollingThread::~CPollingThread() {}

void CPollingThread::Run() {
  // Once its window is gone nobody can be told (a host that freed the DLL without quit and
  // then closed): the worker ends, and with it the reference it holds on our module.
  while (IsRunning() && StillNeeded()) {
    if (IsScreenSaverRunning()) PostScreenSaverMessage();
    // A stop request signals the event and ends the wait at once.
    WaitForSingleObject(GetStopEvent(), PollIntervalMs);
  }
}

void CPollingThread::PostScreenSaverMessage() {
  // Posted, never sent: the worker must not wait for the host's thread, which waits for
  // the worker when it stops the watch. A lost post is made good by the next poll.
  if (HostSelector != 0) {
    PostMessageW(HostWindow, WM_USER, 0, static_cast<LPARAM>(HostSelector));
  } else if (RegisteredMessage != 0) {
    PostMessageW(HostWindow, RegisteredMessage, 0, 0);
  }
}
