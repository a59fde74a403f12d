#include "support/win32_thread.h"
#include "tests/common/test_support.h"

namespace {
class IdleThread : public CWin32Thread {
 public:
  void Run() override {}
};
}  // namespace

TEST(Win32Thread, IsRunningFromConstruction) {
  IdleThread t;
  EXPECT_TRUE(t.IsRunning());
}
