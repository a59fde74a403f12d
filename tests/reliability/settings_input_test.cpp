// Generated host INI files through the real private-profile functions: whatever a file
// holds, the loaded settings stay in range, and a save leaves the host's bytes alone.
#include <array>
#include <string>
#include <vector>

#include "reactions/reaction_settings.h"
#include "tests/common/test_support.h"
#include "tests/reliability/reliability.h"

using reliability::Figure;
using reliability::Random;

namespace {

const char* const OurKeys[] = {"lock_action",
                               "lock_delay",
                               "unlock_action",
                               "unlock_delay",
                               "login_action",
                               "login_delay",
                               "play_only_when_paused_or_stopped",
                               "always_stop_streams",
                               "lock_on_screensaver"};

// Values a hand-edited or damaged file may hold.
const char* const OddValues[] = {
    "",           "0",          "-1",          "-5",          "61",           "9",          "99999999999999999999",
    "4294967295", "4294967296", "2147483647",  "2147483648",  "-2147483648",  "-2147483649", "-99999999999",
    "0x1F",       "0x7",        "0xFFFFFFFF",  "abc",         "pause",        "1abc",        "+3",
    "- 4",        "007",        "1.5",         "1e3",         "\xe4\xf6\xfc", "60",          "8",
};

std::string Number(Random& r, int low, int high) { return std::to_string(low + static_cast<int>(r.Below(high - low + 1))); }

std::string ValueFor(Random& r, int key) {
  if (r.Chance(45)) return OddValues[r.Below(sizeof(OddValues) / sizeof(OddValues[0]))];
  if (key < 6) return key % 2 == 0 ? Number(r, 1, 8) : Number(r, 0, 60);
  return Number(r, 0, 1);
}

std::string Word(Random& r, size_t length) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz_0123456789";
  std::string w;
  for (size_t i = 0; i < length; ++i) w += letters[r.Below(sizeof(letters) - 1)];
  return w;
}

// A section of the host's, in the form the platform writes: CRLF lines, key=value.
std::string HostSection(Random& r) {
  std::string s = "[" + (r.Chance(20) ? std::string("Winamp") : "in_" + Word(r, 1 + r.Below(12))) + "]\r\n";
  for (uint32_t k = 0, n = r.Below(8); k < n; ++k) {
    if (r.Chance(5)) {
      s += ";" + Word(r, r.Below(30)) + "\r\n";  // a comment
      continue;
    }
    size_t length = r.Chance(1) ? 1000 + r.Below(15000) : r.Below(40);  // now and then a very long line
    s += Word(r, 1 + r.Below(16)) + "=" + Word(r, length) + "\r\n";
  }
  return s;
}

struct Generated {
  std::string text;
  std::array<std::string, 9> value;   // what the file says for each of our keys
  std::array<bool, 9> plain{};        // present once, as a decimal the settings keep as it is
};

Generated Generate(Random& r) {
  Generated g;
  std::string ours = "[gen_corvane]\r\n";
  for (int key = 0; key < 9; ++key) {
    if (r.Chance(10)) continue;  // missing
    g.value[key] = ValueFor(r, key);
    ours += std::string(OurKeys[key]) + "=" + g.value[key] + "\r\n";
    if (r.Chance(8)) {  // duplicated: the first one counts
      ours += std::string(OurKeys[key]) + "=" + ValueFor(r, key) + "\r\n";
    } else {
      const std::string& v = g.value[key];
      bool digits = !v.empty() && v.size() <= 2 && v.find_first_not_of("0123456789") == std::string::npos;
      int n = digits ? std::stoi(v) : -1;
      g.plain[key] = digits && (key >= 6 ? n <= 1 : key % 2 == 0 ? n >= 1 && n <= 8 : n <= 60);
    }
  }
  if (r.Chance(15)) ours += "unrelated_key_of_ours=" + Word(r, 8) + "\r\n";

  const uint32_t before = r.Below(3), after = r.Below(3);
  for (uint32_t i = 0; i < before; ++i) g.text += HostSection(r);
  if (!r.Chance(10)) {
    g.text += ours;
  } else {
    g.plain = {};  // our section is not there yet: nothing of it is loaded
  }
  for (uint32_t i = 0; i < after; ++i) g.text += HostSection(r);
  return g;
}

// The bytes that are not our section's.
bool SplitAroundOurSection(const std::string& text, std::string* before, std::string* after) {
  const size_t begin = text.rfind("[gen_corvane]\r\n", text.size());
  if (begin == std::string::npos || (begin != 0 && text.compare(begin - 2, 2, "\r\n") != 0)) return false;
  size_t end = text.find("\r\n[", begin);
  end = end == std::string::npos ? text.size() : end + 2;
  *before = text.substr(0, begin);
  *after = text.substr(end);
  return true;
}

int32_t Stored(const ReactionSettings& s, int key) {
  switch (key) {
    case 0: return s.lock.action;
    case 1: return s.lock.delay;
    case 2: return s.unlock.action;
    case 3: return s.unlock.delay;
    case 4: return s.login.action;
    case 5: return s.login.delay;
    case 6: return s.play_only_when_paused_or_stopped;
    case 7: return s.always_stop_streams;
    default: return s.lock_on_screensaver;
  }
}

unsigned char FlagByte(const bool& flag) { return *reinterpret_cast<const unsigned char*>(&flag); }

}  // namespace

// Five shards of 2,000 files each, so that a run spreads them over the machine's cores.
class SettingsInput : public ::testing::TestWithParam<int> {};

TEST_P(SettingsInput, GeneratedFilesLoadIntoRangeAndSavesKeepTheHostsBytes) {
  const int files = 2000 * reliability::Scale();
  testing_support::TempFolder folder;
  const std::wstring path = folder.File(L"winamp.ini");
  Random r(20261208 + 7919 * GetParam());
  size_t bytes = 0, kept_exactly = 0, appended = 0;
  const DWORD start = GetTickCount();

  for (int i = 0; i < files; ++i) {
    Generated g = Generate(r);
    ASSERT_TRUE(testing_support::WriteFileBytes(path, g.text));
    bytes += g.text.size();

    ReactionSettings s;
    s.SetIniLocation(path.c_str());
    s.LoadFromIni();
    for (const EventReaction* rule : {&s.lock, &s.unlock, &s.login}) {
      ASSERT_GE(rule->action, 1) << "file " << i << ":\n" << g.text;
      ASSERT_LE(rule->action, 8) << "file " << i << ":\n" << g.text;
      ASSERT_GE(rule->delay, 0) << "file " << i;
      ASSERT_LE(rule->delay, 60) << "file " << i;
    }
    for (const bool* flag : {&s.play_only_when_paused_or_stopped, &s.always_stop_streams, &s.lock_on_screensaver})
      ASSERT_LE(FlagByte(*flag), 1) << "file " << i;
    for (int key = 0; key < 9; ++key) {
      if (!g.plain[key]) continue;
      ASSERT_EQ(std::stoi(g.value[key]), Stored(s, key)) << OurKeys[key] << " in file " << i;
      ++kept_exactly;
    }

    // Any change, so that the save really writes: the host's bytes must survive it.
    s.lock.SetDelay(s.lock.delay == 7 ? 8 : 7);
    s.SaveToIni();
    const std::string saved = testing_support::ReadFileBytes(path);
    std::string before_old, after_old, before_new, after_new;
    if (SplitAroundOurSection(g.text, &before_old, &after_old)) {
      ASSERT_TRUE(SplitAroundOurSection(saved, &before_new, &after_new)) << "file " << i;
      ASSERT_EQ(before_old, before_new) << "file " << i;
      ASSERT_EQ(after_old, after_new) << "file " << i;
    } else {
      ++appended;
      ASSERT_EQ(0u, saved.compare(0, g.text.size(), g.text)) << "file " << i << ": the section is added at the end";
    }

    ReactionSettings again;
    again.SetIniLocation(path.c_str());
    again.LoadFromIni();
    ASSERT_EQ(s.lock.delay, again.lock.delay) << "file " << i;
    ASSERT_EQ(s.login.action, again.login.action) << "file " << i;
  }
  Figure("settings input, shard %d: %d files, %.1f MB, %u values kept exactly, %u sections added, %.1f s", GetParam(), files,
         bytes / 1e6, static_cast<unsigned>(kept_exactly), static_cast<unsigned>(appended),
         (GetTickCount() - start) / 1000.0);
}

INSTANTIATE_TEST_SUITE_P(Shards, SettingsInput, ::testing::Range(0, 5));
