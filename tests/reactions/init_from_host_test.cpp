// Taking the INI path from the host at init, and what happens when its answer is unusable.
#include "reactions/reaction_settings.h"
#include "reactions/screensaver_watch.h"
#include "reactions/session_controller.h"
#include "tests/common/test_support.h"

#include <cstdlib>
#include <new>
#include <string>

using testing_support::FileExists;
using testing_support::TempFolder;
using testing_support::ToAnsi;
using testing_support::WriteFileBytes;

namespace {

// Set by a test to make the next nothrow array allocation of the program fail.
bool FailNextNothrowArray = false;

// The file keeps the watch off, so that init starts no worker in these tests.
const std::string StoredSettings = "[gen_corvane]\r\nlock_action=3\r\nunlock_delay=9\r\nlock_on_screensaver=0\r\n";

class InitFromHostTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Controller.Settings = ReactionSettings();
  }
  void TearDown() override {
    FailNextNothrowArray = false;
    HostTest::TearDown();
  }
};

}  // namespace

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  if (FailNextNothrowArray) {
    FailNextNothrowArray = false;
    return nullptr;
  }
  return std::malloc(size ? size : 1);  // what the runtime's own delete[] frees
}

TEST_F(InitFromHostTest, ConvertsTheAnsiPathOnceAndLoadsFromIt) {
  TempFolder folder;
  const std::wstring dir = folder.File(L"J\u00f6rg");  // a character of the ANSI code page
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  const std::wstring ini = dir + L"\\winamp.ini";
  ASSERT_TRUE(WriteFileBytes(ini, StoredSettings));
  host.SetIniPath(ToAnsi(ini));
  host.SetOldHost(true);  // no wide path: the ANSI copy is all there is
  HostScreenSaverSelector = 65537;

  InitFromHost(host.Window());

  ASSERT_NE(nullptr, Controller.Settings.ini_path);
  EXPECT_EQ(ini, Controller.Settings.ini_path);
  EXPECT_STREQ(L"gen_corvane", Controller.Settings.ini_section);
  EXPECT_EQ(StopWithFade, Controller.Settings.lock.action);
  EXPECT_EQ(9, Controller.Settings.unlock.delay);
  EXPECT_EQ(1u, host.CountQueries(standin::proto::QueryIniPath));
  EXPECT_EQ(host.Window(), Controller.HostWindow);
  EXPECT_EQ(65537, Controller.HostSelector);
  EXPECT_EQ(0u, Controller.RegisteredMessage);
}

// A null answer, an empty path or no memory for the copy: the settings stay unbound and
// run on their defaults, and a later save goes nowhere (in particular not into win.ini).
TEST_F(InitFromHostTest, UnusableAnswerLeavesThePathUnset) {
  TempFolder folder;
  const std::wstring ini = folder.File(L"winamp.ini");
  ASSERT_TRUE(WriteFileBytes(ini, StoredSettings));
  enum class Answer { Null, Empty, NoMemory };
  for (Answer answer : {Answer::Null, Answer::Empty, Answer::NoMemory}) {
    Controller.Settings = ReactionSettings();
    host.SetIniPath(answer == Answer::Empty ? std::string() : ToAnsi(ini));
    host.SetIniPathAnswerNull(answer == Answer::Null);
    FailNextNothrowArray = answer == Answer::NoMemory;

    InitFromHost(host.Window());

    const int which = static_cast<int>(answer);
    EXPECT_EQ(nullptr, Controller.Settings.ini_path) << "answer " << which;
    EXPECT_EQ(Pause, Controller.Settings.lock.action) << "answer " << which;
    Controller.Settings.SaveToIni();
    EXPECT_EQ(0u, GetProfileIntW(L"gen_corvane", L"lock_action", 0)) << "answer " << which;
  }
  EXPECT_FALSE(FailNextNothrowArray) << "the path copy was not allocated with nothrow new";
}
