#include "reactions/session_controller.h"

#include "reactions/polling_thread.h"

SessionController Controller;

SessionController::SessionController()
    : Worker(nullptr),
      SessionAttached(true),
      TimerPending(false),
      PausedByPlugin(false),
      ScreenSaverTriggered(false),
      GracePeriodSeconds(0),
      PendingAction(0),
      HostWindow(nullptr),
      HostSelector(0),
      RegisteredMessage(0),
      IniPathBuffer(nullptr),
      HostReportsStopAfterCurrent(false),
      StopAfterCurrentArmedBy(ArmedByNobody),
      StopAfterCurrentTrack(0) {}

SessionController::~SessionController() {
  // Quit normally stops and deletes the worker. One still here runs none of our code: its
  // thread holds a reference on this module while it lives, so static teardown comes at
  // process exit, after Windows has ended every other thread, or from that thread's own
  // FreeLibraryAndExitThread after Run has returned. Deleting it only closes its handles;
  // waiting for it here, under the loader lock, would never end.
  delete Worker;
  Worker = nullptr;
  delete[] IniPathBuffer;
  IniPathBuffer = nullptr;
}
