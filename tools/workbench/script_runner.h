// Runs a parsed script against the plug-in in the workbench: each line in turn, with the
// log telling what it did and what the host saw, until the end or the first failed check.
//
// Classes in this file:
//   ScriptRunner  - runs one script.
#pragma once

#include <string>

#include "tools/workbench/script.h"
#include "tools/workbench/workbench.h"

namespace workbench {

// Exit codes of a run.
constexpr int RunPassed = 0;
constexpr int RunFailed = 1;      // an expectation or a check of the host failed
constexpr int RunNotStarted = 2;  // a mistake in the script, or the plug-in did not load

class ScriptRunner {
 public:
  explicit ScriptRunner(Workbench& bench) : bench_(bench), log_(bench.Log()) {}

  // Runs every line. With end_run the run ends as the player exits when the script does
  // not say otherwise; without it the host stays up (the window stays open).
  int Run(const Script& script, bool end_run = true);

 private:
  // Empty when the line did what it says, else why not.
  std::wstring Execute(const ScriptLine& line);
  std::wstring ExpectCommands(const ScriptLine& line);
  // Pumps until check() holds or the line's "within" runs out; pending messages are
  // always dispatched first, since the plug-in posts its commands.
  bool Await(const ScriptLine& line, const std::function<bool()>& check);
  bool HostGone();
  std::wstring Ok(const ScriptLine& line);  // logs a met expectation

  Workbench& bench_;
  EventLog& log_;
  size_t checked_ = 0;  // commands that an expect has already looked at
  int expectations_ = 0;
};

}  // namespace workbench
