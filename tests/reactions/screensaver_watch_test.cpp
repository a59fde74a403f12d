#include "reactions/screensaver_watch.h"
#include "tests/common/test_support.h"

TEST(ScreenSaverWatch, WithoutIdsNothingIsRegistered) {
  EXPECT_EQ(0, HostScreenSaverSelector);
  EXPECT_EQ(0u, RegisteredScreenSaverMessage);
}
