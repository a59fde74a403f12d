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
      RegisteredMessage(0) {}

SessionController::~SessionController() {
  delete Worker;
  Worker = nullptr;
}
