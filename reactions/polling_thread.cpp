// Placeholder until the screen saver worker is built.
#include "reactions/polling_thread.h"

CPollingThread::CPollingThread(HWND host_window, int32_t host_selector, UINT registered_message)
    : HostWindow(host_window), HostSelector(host_selector), RegisteredMessage(registered_message) {}
CPollingThread::~CPollingThread() {}
void CPollingThread::Run() {}
void CPollingThread::PostScreenSaverMessage() {}
