// The settings against real INI files: what a load accepts, what a save writes, and that
// the host's own sections in the shared file survive our saves.
#include "reactions/reaction_settings.h"
#include "tests/common/test_support.h"

#include <array>
#include <climits>
#include <deque>
#include <string>
#include <vector>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

// The nine stored values in key order.
using Values = std::array<int32_t, 9>;
constexpr Values DefaultValues = {1, 0, 5, 2, 8, 0, 1, 1, 1};
const char* const KeyNames[] = {"lock_action",
                                "lock_delay",
                                "unlock_action",
                                "unlock_delay",
                                "login_action",
                                "login_delay",
                                "play_only_when_paused_or_stopped",
                                "always_stop_streams",
                                "lock_on_screensaver"};

Values ValuesOf(const ReactionSettings& s) {
  return {s.lock.action,
          s.lock.delay,
          s.unlock.action,
          s.unlock.delay,
          s.login.action,
          s.login.delay,
          s.play_only_when_paused_or_stopped,
          s.always_stop_streams,
          s.lock_on_screensaver};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The file without our section: what the host owns.
std::string WithoutOurSection(const std::string& text) {
  const size_t begin = text.find("[gen_corvane]\r\n");
  if (begin == std::string::npos) return text;
  size_t end = text.find("\r\n[", begin);
  end = end == std::string::npos ? text.size() : end + 2;
  return text.substr(0, begin) + text.substr(end);
}

class SettingsFile : public ::testing::Test {
 protected:
  // A record bound to a file of the test's folder, optionally written first.
  ReactionSettings Bound(const std::wstring& name, const std::string* contents = nullptr) {
    paths_.push_back(folder_.File(name));
    if (contents) {
      EXPECT_TRUE(WriteFileBytes(paths_.back(), *contents));
    }
    ReactionSettings s;
    s.SetIniLocation(paths_.back().c_str());
    return s;
  }
  std::string Contents(const ReactionSettings& s) { return ReadFileBytes(s.ini_path); }

  TempFolder folder_;
  std::deque<std::wstring> paths_;  // records point into these; a deque never moves them
};

}  // namespace

TEST(ActionCodes, OnlyPausesStopsAndStartsUseTheDelay) {
  for (int32_t code = -1; code <= 9; ++code) {
    bool expected = code == 1 || code == 2 || code == 3 || code == 5 || code == 6;
    EXPECT_EQ(expected, ActionUsesDelay(code)) << "code " << code;
  }
}

TEST(EventReaction, KeysAreFormattedWithinTheBuffer) {
  EventReaction r;
  EXPECT_STREQ(L"unlock_action", r.FormatKey(L"unlock", L"action"));
  const std::wstring long_word(60, L'x');
  const wchar_t* key = r.FormatKey(long_word.c_str(), L"delay");
  EXPECT_EQ(key, r.key_buffer);
  EXPECT_EQ(std::wstring(49, L'x'), key);  // cut to the buffer, terminator kept
}

TEST_F(SettingsFile, FreshRecordSavesTheDefaultsInKeyOrder) {
  ReactionSettings s = Bound(L"fresh.ini");
  s.LoadFromIni();
  EXPECT_EQ(DefaultValues, ValuesOf(s));
  EXPECT_FALSE(FileExists(s.ini_path)) << "loading must not create the file";

  s.SaveToIni();
  std::vector<std::string> expected = {"[gen_corvane]"};
  for (size_t i = 0; i < 9; ++i) expected.push_back(std::string(KeyNames[i]) + "=" + std::to_string(DefaultValues[i]));
  EXPECT_EQ(expected, Lines(Contents(s)));
}

TEST_F(SettingsFile, SavedValuesLoadBack) {
  ReactionSettings saved = Bound(L"roundtrip.ini");
  saved.lock.SetAction(StopAfterCurrent);
  saved.lock.SetDelay(60);
  saved.unlock.SetAction(PlayNext);
  saved.unlock.SetDelay(0);
  saved.login.SetAction(CloseHost);
  saved.login.SetDelay(17);
  saved.play_only_when_paused_or_stopped = false;
  saved.lock_on_screensaver = false;
  saved.SaveToIni();

  ReactionSettings loaded;
  loaded.SetIniLocation(saved.ini_path);
  loaded.LoadFromIni();
  EXPECT_EQ(ValuesOf(saved), ValuesOf(loaded));
}

TEST_F(SettingsFile, LoadValidatesEachKey) {
  struct Row {
    const char* line;
    size_t field;  // index into Values
    int32_t expected;
  };
  const Row rows[] = {
      {"lock_action=0", 0, Pause},  // 0 keeps the current action
      {"lock_action=abc", 0, Pause},
      {"lock_action=", 0, Pause},
      {"lock_action=9", 0, DoNothing},
      {"lock_action=-1", 0, DoNothing},
      {"lock_action=4", 0, StopAfterCurrent},
      {"unlock_action=7", 2, CloseHost},  // any code for any rule
      {"unlock_delay=-5", 3, 0},
      {"unlock_delay=61", 3, 60},
      {"unlock_delay=60", 3, 60},
      {"login_delay=7", 5, 7},
      {"play_only_when_paused_or_stopped=-1", 6, 1},
      {"always_stop_streams=2", 7, 1},
      {"always_stop_streams=0", 7, 0},
      {"lock_on_screensaver=0", 8, 0},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string text = std::string("[gen_corvane]\r\n") + row.line + "\r\n";
    ReactionSettings s = Bound(L"validate" + std::to_wstring(++n) + L".ini", &text);
    s.LoadFromIni();
    Values expected = DefaultValues;
    expected[row.field] = row.expected;
    EXPECT_EQ(expected, ValuesOf(s)) << row.line;
  }
}

TEST_F(SettingsFile, MissingFileSectionOrKeyKeepsCurrentValues) {
  const std::string other_section = "[Winamp]\r\nlock_action=3\r\nlock_delay=9\r\n";
  const std::string empty_section = "[gen_corvane]\r\n[next]\r\nunlock_delay=9\r\n";
  const std::string* files[] = {nullptr, &other_section, &empty_section};
  int n = 0;
  for (const std::string* contents : files) {
    ReactionSettings s = Bound(L"missing" + std::to_wstring(++n) + L".ini", contents);
    s.lock.SetAction(StopWithFade);
    s.unlock.SetDelay(33);
    s.always_stop_streams = false;
    const Values before = ValuesOf(s);
    s.LoadFromIni();
    EXPECT_EQ(before, ValuesOf(s)) << "file " << n;
  }
}

TEST_F(SettingsFile, AnyTextLoadsIntoRange) {
  const char* texts[] = {" ",          "-",           "+7",         "0x7",         " 7 ",         "7abc",
                         "2147483648", "-2147483649", "4294967295", "99999999999", "-99999999999"};
  int n = 0;
  for (const char* text : texts) {
    std::string contents = "[gen_corvane]\r\n";
    for (size_t i = 0; i < 6; ++i) contents += std::string(KeyNames[i]) + "=" + text + "\r\n";
    ReactionSettings s = Bound(L"range" + std::to_wstring(++n) + L".ini", &contents);
    s.LoadFromIni();
    for (const EventReaction* r : {&s.lock, &s.unlock, &s.login}) {
      EXPECT_TRUE(r->action >= 1 && r->action <= 8) << text << " gave action " << r->action;
      EXPECT_TRUE(r->delay >= 0 && r->delay <= 60) << text << " gave delay " << r->delay;
    }
  }
}

TEST_F(SettingsFile, FlagsAreWrittenBackAsOneOrZero) {
  const std::string text = "[gen_corvane]\r\nalways_stop_streams=2\r\nlock_on_screensaver=0\r\n";
  ReactionSettings s = Bound(L"flags.ini", &text);
  s.LoadFromIni();
  s.SaveToIni();
  const std::string contents = Contents(s);
  EXPECT_NE(std::string::npos, contents.find("\r\nalways_stop_streams=1\r\n")) << contents;
  EXPECT_NE(std::string::npos, contents.find("\r\nlock_on_screensaver=0\r\n")) << contents;
}

TEST_F(SettingsFile, ValuesFilledDirectlyCannotOverflowTheTextBuffer) {
  ReactionSettings s = Bound(L"overflow.ini");
  s.lock.action = INT_MIN;
  s.lock.delay = INT_MAX;
  s.unlock.action = 123456;
  s.unlock.delay = -123456;
  s.login.action = -999;
  s.login.delay = 9999;
  s.SaveToIni();
  const std::vector<std::string> lines = Lines(Contents(s));
  ASSERT_EQ(10u, lines.size());
  for (size_t i = 1; i <= 6; ++i) {
    const std::string value = lines[i].substr(lines[i].find('=') + 1);
    EXPECT_LE(value.size(), 4u) << lines[i];
  }
  EXPECT_EQ("login_action=-999", lines[5]);  // what fits is written as stored
  EXPECT_EQ("login_delay=9999", lines[6]);

  ReactionSettings loaded;
  loaded.SetIniLocation(s.ini_path);
  loaded.LoadFromIni();
  EXPECT_EQ((Values{DoNothing, 60, DoNothing, 0, DoNothing, 60, 1, 1, 1}), ValuesOf(loaded));
}

TEST_F(SettingsFile, WriteToIniReportsAFailedWrite) {
  ReactionSettings s = Bound(L"write.ini");
  EXPECT_TRUE(s.lock.WriteToIni(s.ini_section, s.ini_path, L"lock"));
  const std::wstring unreachable = folder_.File(L"no such folder\\x.ini");
  EXPECT_FALSE(s.lock.WriteToIni(s.ini_section, unreachable.c_str(), L"lock"));
}

TEST_F(SettingsFile, ResetKeepsTheFile) {
  ReactionSettings s = Bound(L"reset.ini");
  const wchar_t* path = s.ini_path;
  s.lock.SetAction(Stop);
  s.always_stop_streams = false;
  s.ResetToDefaults();
  EXPECT_EQ(DefaultValues, ValuesOf(s));
  EXPECT_EQ(path, s.ini_path);
  EXPECT_STREQ(L"gen_corvane", s.ini_section);
}

// Without a path the platform functions fall back to win.ini; the settings must not.
TEST(SettingsWithoutPath, NeitherReadNorWriteWinIni) {
  const wchar_t* win_ini = L"win.ini";
  WritePrivateProfileStringW(L"gen_corvane", L"lock_action", L"3", win_ini);
  ReactionSettings s;
  s.ini_section = SettingsSection;  // a path that never came
  s.LoadFromIni();
  EXPECT_EQ(Pause, s.lock.action);

  WritePrivateProfileStringW(L"gen_corvane", nullptr, nullptr, win_ini);
  EXPECT_FALSE(s.SaveToIni()) << "nothing was saved";
  ReactionSettings unset;
  EXPECT_FALSE(unset.SaveToIni());
  wchar_t names[256] = {};
  GetPrivateProfileStringW(L"gen_corvane", nullptr, L"", names, 256, win_ini);
  EXPECT_STREQ(L"", names) << "keys were written to win.ini";
}

// The host's own settings share the file. Saving with every value changed must leave every
// byte outside our section as it was, wherever our section is or whether it exists.
TEST_F(SettingsFile, SaveKeepsTheHostsSectionsByteForByte) {
  const std::string host_head =
      "[Winamp]\r\nutf8=1\r\nskin=Classic\r\nPlugin Name=Some Plug-in v2.1\r\n"
      "playlist_dir=C:\\Users\\J\xf6rg\\Musik\r\nutf8_dir=C:\\Users\\J\xc3\xb6rg\r\n"
      "title=[%artist% - ]%title% = ok\r\nempty=\r\n;a comment\r\nNoEquals\r\n";
  const std::string host_tail = "[in_mp3]\r\nmax_bufsize_k=128\r\nproxy=user:pw@host:8080\r\n[out_ds]\r\nvol=255\r\n";
  const std::string old_ours = "[gen_corvane]\r\nlock_action=2\r\nlock_delay=5\r\nlock_on_screensaver=1\r\n";
  const std::string layouts[] = {
      host_head,                                   // ours absent: appended
      host_head + host_tail,                       // ours absent, several sections
      host_head + old_ours + host_tail,            // ours between the host's sections
      old_ours + host_head + host_tail,            // ours first
      host_head + host_tail + old_ours,            // ours last
      host_head + "[gen_corvane]\r\n" + host_tail  // ours present but empty
  };
  int n = 0;
  for (const std::string& before : layouts) {
    ReactionSettings s = Bound(L"shared" + std::to_wstring(++n) + L".ini", &before);
    s.lock.SetAction(PlayNext);
    s.lock.SetDelay(42);
    s.unlock.SetAction(DoNothing);
    s.login.SetAction(StopWithFade);
    s.login.SetDelay(3);
    s.play_only_when_paused_or_stopped = s.always_stop_streams = s.lock_on_screensaver = false;
    s.SaveToIni();

    const std::string after = Contents(s);
    EXPECT_EQ(WithoutOurSection(before), WithoutOurSection(after)) << "layout " << n;
    ReactionSettings loaded;
    loaded.SetIniLocation(s.ini_path);
    loaded.LoadFromIni();
    EXPECT_EQ(ValuesOf(s), ValuesOf(loaded)) << "layout " << n;
  }
}

// Files a text editor has touched: blank lines, spaces around '=', bare line feeds, a key
// of an older version in our section. Whatever the platform does to their layout, every
// section and value must read the same after a save.
TEST_F(SettingsFile, SaveLosesNothingFromLooselyFormattedFiles) {
  const std::string before =
      "; settings\n[Winamp]\r\nutf8=1\r\nskin = Classic \r\n\r\n[gen_corvane]\r\nold_key=keep me\r\n"
      "lock_action=1\r\n\r\n[in_mp3]\nmax_bufsize_k=128\n\n[out_ds]\r\nvol=255";
  ReactionSettings s = Bound(L"loose.ini", &before);

  auto snapshot = [&] {
    std::vector<std::wstring> sections;
    wchar_t names[1024] = {};
    GetPrivateProfileSectionNamesW(names, 1024, s.ini_path);
    for (const wchar_t* name = names; *name; name += wcslen(name) + 1) {
      wchar_t body[2048] = {};
      DWORD n = GetPrivateProfileSectionW(name, body, 2048, s.ini_path);
      std::wstring entry = name;
      for (const wchar_t* line = body; line < body + n && *line; line += wcslen(line) + 1) {
        if (std::wstring(name) == L"gen_corvane" && std::wstring(line).rfind(L"old_key=", 0) != 0) continue;
        entry += L"|" + std::wstring(line);
      }
      sections.push_back(entry);
    }
    return sections;
  };
  const std::vector<std::wstring> read_before = snapshot();
  ASSERT_EQ(4u, read_before.size());
  s.lock.SetAction(Stop);
  s.SaveToIni();
  EXPECT_EQ(read_before, snapshot());
}

