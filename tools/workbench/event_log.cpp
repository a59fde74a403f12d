#include "tools/workbench/event_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

// The plug-in's own timer ids: the log names them when they fire on the host window.
#include "host/host_api.h"

namespace workbench {

namespace {

namespace proto = standin::proto;
using Kind = standin::HostEvent::Kind;

std::wstring Format(const wchar_t* format, ...) {
  wchar_t buffer[512];
  va_list args;
  va_start(args, format);
  _vsnwprintf(buffer, 511, format, args);
  va_end(args);
  buffer[511] = L'\0';
  return buffer;
}

const wchar_t* SessionCodeName(WPARAM code) {
  static const wchar_t* const names[] = {
      L"",     L"console connect", L"console disconnect", L"remote connect", L"remote disconnect", L"logon", L"logoff",
      L"lock", L"unlock",          L"remote control",     L"create",         L"terminate"};
  return code < sizeof(names) / sizeof(names[0]) ? names[code] : L"";
}

std::wstring FromAnsi(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
  return wide;
}

// The plug-in hands the host a name to register, which the player reads as ANSI; a bad
// pointer must not take the host down.
std::wstring NameAt(WPARAM wParam) {
  auto* name = reinterpret_cast<const char*>(wParam);
  if (!name || IsBadStringPtrA(name, 128)) return L"(no readable name)";
  return L"\"" + FromAnsi(std::string(name, strnlen(name, 128))) + L"\"";
}

std::wstring SelectorName(const standin::StandInHost& host, LPARAM selector) {
  for (const auto& entry : host.AssignedSelectors()) {
    if (entry.second == selector) return L"\"" + FromAnsi(entry.first) + L"\"";
  }
  return std::wstring();
}

std::wstring RegisteredName(UINT message) {
  wchar_t name[128] = {};
  // Registered messages and clipboard formats share one atom table.
  if (GetClipboardFormatNameW(message, name, 128) > 0) return std::wstring(L" \"") + name + L"\"";
  return std::wstring();
}

std::wstring DescribeQuery(const standin::HostEvent& e, const standin::StandInHost& host) {
  switch (e.lParam) {
    case proto::QueryPlayingState:
      return Format(L"query 104 (playing state) -> %ld, %ls", static_cast<long>(e.answer),
                    standin::PlayStateName(static_cast<int>(e.answer)));
    case proto::QueryLength:
      if (e.wParam != 1) return Format(L"query 105 (length in ms) -> %ld", static_cast<long>(e.answer));
      if (e.answer == -1) return L"query 105 (length in seconds) -> -1, a stream";
      return Format(L"query 105 (length in seconds) -> %ld", static_cast<long>(e.answer));
    case proto::QueryIniPath:
      if (!e.answer) return L"query 334 (INI path) -> 0";
      if (host.WithoutPathQueries()) return L"query 334 (INI path) -> 1: a player before 2.90 gives no path";
      return L"query 334 (INI path, ANSI) -> \"" + FromAnsi(host.AnsiIniPath()) + L"\"";
    case proto::QueryIniPathWide:
      if (!e.answer) return L"query 1334 (INI path, wide) -> 0";
      if (host.OldHost() || host.WithoutPathQueries())
        return L"query 1334 (INI path, wide) -> 1: an older player does not know it";
      return L"query 1334 (INI path, wide) -> \"" + host.IniPath() + L"\"";
    case proto::QueryPlaylistLength:
      return Format(L"query 124 (playlist length) -> %ld", static_cast<long>(e.answer));
    case proto::QueryPlaylistPosition:
      return Format(L"query 125 (playlist position) -> %ld", static_cast<long>(e.answer));
    case proto::QueryStopAfterCurrent:
      if (host.OldHost() || host.WithoutPathQueries())
        return L"query 658 (stop after current) -> 1: an older player does not know it";
      return e.answer == 0 ? L"query 658 (stop after current) -> 0, armed"
                           : L"query 658 (stop after current) -> 1, not armed";
    case proto::QueryDialogParent:
      return Format(L"query 619 (window to centre dialogs on) -> 0x%lX", static_cast<unsigned long>(e.answer));
    case proto::QueryRegisterMessage:
      return L"query 65536 (message selector for " + NameAt(e.wParam) + L") -> " + std::to_wstring(e.answer);
    default: {
      std::wstring name = SelectorName(host, e.lParam);
      if (!name.empty()) {
        return Format(L"WM_USER with selector %ld (%ls) reached the host: the plug-in did not take it",
                      static_cast<long>(e.lParam), name.c_str());
      }
      return Format(L"WM_USER with lParam %ld: no query the player knows -> 1", static_cast<long>(e.lParam));
    }
  }
}

std::wstring DescribeCommandEvent(const standin::HostEvent& e, const standin::StandInHost& host, int before) {
  unsigned id = LOWORD(e.wParam);
  std::wstring head = Format(L"command %u", id);
  const wchar_t* name = standin::CommandName(id);
  if (!*name) return head + L": unknown to the player";
  head += L" ";
  head += name;
  switch (id) {
    case proto::StopAfterCurrent:
      if (before == proto::Stopped) return head + L": no track is loaded, so the player ignores it";
      return head + (host.StopAfterCurrentArmed() ? L": the player stops after this track"
                                                  : L": the player no longer stops after this track");
    case proto::NextTrack:
    case proto::PreviousTrack:
      return head + Format(L": track %d, ", host.TrackNumber()) + standin::PlayStateName(host.PlayState());
    case proto::Play:
      if (before == proto::Stopped && host.PlayState() == proto::Stopped)
        return head + L": the playlist is empty, so the player opens its \"Open file(s)\" dialog";
      break;
    default:
      break;
  }
  int after = host.PlayState();
  if (after == before) return head + L": the player stays " + standin::PlayStateName(after);
  return head + L": " + standin::PlayStateName(before) + L" -> " + standin::PlayStateName(after);
}

}  // namespace

void EventLog::Write(const std::wstring& text) {
  std::wstring line = clock_ ? Format(L"[%8.3f] ", clock_()) + text : text;
  for (const Sink& sink : sinks_) sink(line);
}

void EventLog::WritePlain(const std::wstring& text) {
  for (const Sink& sink : sinks_) sink(text);
}

void WriteToStdout(const std::wstring& line) {
  std::wstring text = line + L"\n";
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return;
  std::string bytes(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

std::wstring DescribeHostEvent(const standin::HostEvent& e, const standin::StandInHost& host, int state_before) {
  switch (e.kind) {
    case Kind::Query:
      return DescribeQuery(e, host);
    case Kind::Command:
      return DescribeCommandEvent(e, host, state_before);
    case Kind::Close:
      return L"WM_CLOSE: the player exits";
    case Kind::SessionChange:
      return Format(L"the host's own procedure got WM_WTSSESSION_CHANGE %lu (%ls)",
                    static_cast<unsigned long>(e.wParam), SessionCodeName(e.wParam));
    case Kind::Timer:
      return Format(L"the host got WM_TIMER %lu", static_cast<unsigned long>(e.wParam));
    case Kind::Registered:
      return Format(L"the host got registered message 0x%X%ls", e.message, RegisteredName(e.message).c_str());
  }
  return std::wstring();
}

std::wstring DescribeQueuedMessage(unsigned message, uintptr_t wParam, intptr_t lParam,
                                   const standin::StandInHost& host) {
  if (message == WM_TIMER) {
    const wchar_t* name = wParam == DelayTimer   ? L" (the plug-in's delay timer)"
                          : wParam == GraceTimer ? L" (the plug-in's grace timer)"
                                                 : L"";
    return Format(L"WM_TIMER %lu%ls fires", static_cast<unsigned long>(wParam), name);
  }
  if (message == WM_USER) {
    std::wstring name = SelectorName(host, lParam);
    if (name.empty()) return std::wstring();
    return Format(L"posted WM_USER with selector %ld (%ls) arrives", static_cast<long>(lParam), name.c_str());
  }
  if (message >= 0xC000 && message <= 0xFFFF) {
    return Format(L"posted registered message 0x%X%ls arrives", message, RegisteredName(message).c_str());
  }
  return std::wstring();
}

}  // namespace workbench
