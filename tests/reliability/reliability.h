// Shared by the reliability suite: a seeded generator, the scale of a run, and a line of
// figures for the output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>
#include <tlhelp32.h>

namespace reliability {

// Threads of this process, counted by the system.
inline DWORD ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  DWORD n = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snapshot);
  return n;
}

// QUILLARY_LONG=1 runs every case ten times as often (the long variants); the default keeps
// the suite fast enough for every test run.
inline int Scale() {
  const char* value = std::getenv("QUILLARY_LONG");
  return value && *value && *value != '0' ? 10 : 1;
}

// xorshift32: the same seed gives the same cases on every machine, so a failure repeats.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // 0 .. n-1
  uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
  bool Chance(uint32_t percent) { return Below(100) < percent; }

 private:
  uint32_t state_;
};

// Figures go to the test output, one line each, where CTest's log keeps them.
template <typename... Args>
void Figure(const char* format, Args... args) {
  std::printf("[ FIGURE   ] ");
  std::printf(format, args...);
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace reliability
