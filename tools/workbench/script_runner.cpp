#include "tools/workbench/script_runner.h"

namespace workbench {

namespace {

namespace proto = standin::proto;

DWORD Milliseconds(double seconds) { return static_cast<DWORD>(seconds * 1000 + 0.5); }

}  // namespace

std::wstring ScriptRunner::Ok(const ScriptLine&) {
  log_.Write(L"  ok");
  return std::wstring();
}

int ScriptRunner::Run(const Script& script, bool end_run) {
  if (!script.Ok()) {
    for (const std::wstring& error : script.errors) log_.WritePlain(error);
    return RunNotStarted;
  }
  std::wstring failure;
  int failed_line = 0;
  for (const ScriptLine& line : script.lines) {
    if (line.op == Op::Echo) {
      log_.Write(L"--- " + line.value);
      continue;
    }
    log_.Write(L"line " + std::to_wstring(line.number) + L": " + line.text);
    if (NeedsPlugin(line.op) && !bench_.Loaded() && !bench_.Uninstalled() && !HostGone()) {
      if (!bench_.LoadPlugin()) {
        bench_.Exit(ExitMode::Normal);
        log_.WritePlain(L"NOT RUN: the plug-in did not load (line " + std::to_wstring(line.number) + L")");
        return RunNotStarted;
      }
    }
    failure = Execute(line);
    if (failure.empty() && HostGone() && bench_.ClosedByUser()) failure = L"the user closed the player";
    if (!failure.empty()) {
      failed_line = line.number;
      log_.Write(L"  FAILED: " + failure);
      break;
    }
  }
  bool exit_ok = true;
  if (end_run) exit_ok = bench_.Exit(ExitMode::Normal);
  if (failed_line) {
    log_.WritePlain(L"FAILED at line " + std::to_wstring(failed_line) + L": " + failure);
    return RunFailed;
  }
  if (!exit_ok) {
    log_.WritePlain(L"FAILED at the exit: the plug-in left the host unsafe");
    return RunFailed;
  }
  log_.WritePlain(L"passed: " + std::to_wstring(script.lines.size()) + L" lines, " + std::to_wstring(expectations_) +
                  (expectations_ == 1 ? L" expectation met" : L" expectations met"));
  return RunPassed;
}

bool ScriptRunner::HostGone() {
  if (!bench_.HostClosed()) return false;
  bench_.QuitAfterClose();
  return true;
}

bool ScriptRunner::Await(const ScriptLine& line, const std::function<bool()>& check) {
  standin::StandInHost& host = bench_.Host();
  if (!HostGone()) host.PumpPending();
  if (check() || line.seconds <= 0 || HostGone()) return check();
  host.PumpUntil([&] { return check() || bench_.HostClosed(); }, Milliseconds(line.seconds));
  HostGone();
  return check();
}

std::wstring ScriptRunner::Execute(const ScriptLine& line) {
  standin::StandInHost& host = bench_.Host();
  // What can still run once the plug-in has closed the host: checks, and the scene.
  bool needs_window =
      line.op == Op::Session || line.op == Op::Config || line.op == Op::Load || line.op == Op::Uninstall;
  if (needs_window && HostGone()) return L"the host has closed; nothing reaches it any more";

  switch (line.op) {
    case Op::Load:
      return std::wstring();  // loaded above
    case Op::Play:
      bench_.SetPlayState(proto::Playing);
      return std::wstring();
    case Op::Pause:
      bench_.SetPlayState(proto::Paused);
      return std::wstring();
    case Op::Stop:
      bench_.SetPlayState(proto::Stopped);
      return std::wstring();
    case Op::Stream:
      bench_.SetStream(line.flag);
      return std::wstring();
    case Op::Playlist:
      bench_.SetPlaylistLength(line.number_arg);
      return std::wstring();
    case Op::TrackEnd:
      bench_.EndOfTrack();
      return std::wstring();
    case Op::Session:
      bench_.SendSessionChange(static_cast<WPARAM>(line.number_arg));
      return std::wstring();
    case Op::ScreenSaver:
      return bench_.SetScreenSaver(line.flag) ? std::wstring() : L"Windows refused to change the screen saver state";
    case Op::Registry:
      return bench_.SetRegistry(line.registry, line.flag ? nullptr : &line.value) ? std::wstring()
                                                                                  : L"the registry refused the value";
    case Op::Ini:
      return bench_.WriteIni(line.key, line.value) ? std::wstring() : L"the INI file cannot be written";
    case Op::Wait:
      if (!HostGone()) host.PumpUntil([&] { return bench_.HostClosed(); }, Milliseconds(line.seconds));
      HostGone();
      return std::wstring();
    case Op::Config: {
      ConfigResult result = bench_.Configure(line.button, line.seconds > 0 ? Milliseconds(line.seconds) : 0);
      if (result == ConfigResult::NoDialog) return L"config showed no dialog to press a button in";
      if (result == ConfigResult::DialogStayed) return L"the dialog did not close when its button was pressed";
      return std::wstring();
    }
    case Op::ExpectCommands:
      return ExpectCommands(line);
    case Op::ExpectState: {
      ++expectations_;
      if (Await(line, [&] { return host.PlayState() == line.number_arg; })) return Ok(line);
      return std::wstring(L"the player is ") + standin::PlayStateName(host.PlayState()) + L", not " +
             standin::PlayStateName(line.number_arg);
    }
    case Op::ExpectTrack: {
      ++expectations_;
      if (Await(line, [&] { return host.TrackNumber() == line.number_arg; })) return Ok(line);
      return L"the player is at track " + std::to_wstring(host.TrackNumber()) + L", not " +
             std::to_wstring(line.number_arg);
    }
    case Op::ExpectIni: {
      ++expectations_;
      if (Await(line, [&] { return bench_.ReadIni(line.key) == line.value; })) return Ok(line);
      std::wstring found = bench_.ReadIni(line.key);
      return L"[gen_corvane] " + line.key + L" is " + (found.empty() ? L"empty or missing" : L"\"" + found + L"\"") +
             L", not " + (line.value.empty() ? L"empty" : L"\"" + line.value + L"\"");
    }
    case Op::Echo:
      return std::wstring();
    case Op::Exit:
      if (!bench_.Exit(line.exit_mode)) return L"the plug-in left the host unsafe at its exit";
      return std::wstring();
    case Op::OldHost:
      bench_.SetOldHost(true);
      return std::wstring();
    case Op::Uninstall:
      if (!bench_.Uninstall(line.flag ? IDYES : IDNO)) return L"the DLL could not be freed after quit";
      return std::wstring();
  }
  return std::wstring();
}

std::wstring ScriptRunner::ExpectCommands(const ScriptLine& line) {
  ++expectations_;
  standin::StandInHost& host = bench_.Host();
  size_t wanted = line.commands.size();
  Await(line, [&] { return host.Commands().size() - checked_ >= wanted && wanted > 0; });
  std::vector<unsigned> all = host.Commands();
  std::vector<unsigned> received(all.begin() + static_cast<std::ptrdiff_t>(checked_), all.end());
  checked_ = all.size();
  if (received == line.commands) {
    log_.Write(L"  ok: " + DescribeCommands(received));
    return std::wstring();
  }
  std::wstring got = received.empty() ? L"no command arrived" : L"received " + DescribeCommands(received);
  return L"expected " + DescribeCommands(line.commands) + L", but " + got;
}

}  // namespace workbench
