// The main of every test program.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "tests/common/test_support.h"

namespace {

// Every test starts from the state a fresh Windows session gives the plug-in, whatever an
// earlier test (perhaps one killed before its clean-up) left in the shared registry.
class FreshSessionState : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { testing_support::ResetStateThePluginReads(); }
};

}  // namespace

int main(int argc, char** argv) {
  // Text mode would end lines with "\r\n", which CTest's test discovery cannot parse.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // A crash must end the test, not wait on an error dialog.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSessionState);
  return RUN_ALL_TESTS();
}
