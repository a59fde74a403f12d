// The workbench's log: timestamped lines to the console and to the window, and the words
// in which the host's records are written there.
//
// Classes in this file:
//   EventLog  - writes each line to every sink.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/standin/standin_host.h"

namespace workbench {

class EventLog {
 public:
  using Sink = std::function<void(const std::wstring& line)>;

  void AddSink(Sink sink) { sinks_.push_back(std::move(sink)); }
  // Seconds shown in front of each line; none until a clock is set.
  void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }

  void Write(const std::wstring& text);       // "[  1.234] text"
  void WritePlain(const std::wstring& text);  // without a time

 private:
  std::vector<Sink> sinks_;
  std::function<double()> clock_;
};

// Writes UTF-8 lines to stdout and flushes each one, so the log keeps pace under Wine.
void WriteToStdout(const std::wstring& line);

// One host record in words, given the playing state before it (commands change it).
std::wstring DescribeHostEvent(const standin::HostEvent& e, const standin::StandInHost& host, int state_before);

// A message that the host window takes from its queue and the plug-in's subclass may
// consume before the host sees it: its timers and its screen saver message. Empty when
// the message is none of those.
std::wstring DescribeQueuedMessage(unsigned message, uintptr_t wParam, intptr_t lParam,
                                   const standin::StandInHost& host);

}  // namespace workbench
