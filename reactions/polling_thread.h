// The screen saver watch's worker: asks Windows once a second whether the screen saver
// runs and, while it does, posts the screen saver message to the host window.
//
// Classes in this file:
//   CPollingThread  - the worker, on CWin32Thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "support/win32_thread.h"

class CPollingThread : public CWin32Thread {
 public:
  CPollingThread(HWND host_window, int32_t host_selector, UINT registered_message);
  ~CPollingThread() override;

  void Run() override;
  void PostScreenSaverMessage();
  // Whether this worker was made for that window and those ids.
  bool PostsTo(HWND host_window, int32_t host_selector, UINT registered_message) const {
    return HostWindow == host_window && HostSelector == host_selector && RegisteredMessage == registered_message;
  }

 protected:
  // Nobody is left to tell once the window is gone.
  bool StillNeeded() override { return IsWindow(HostWindow) != FALSE; }

 private:
  HWND HostWindow;
  int32_t HostSelector;
  UINT RegisteredMessage;
};
