#include "reactions/reaction_settings.h"
#include "tests/common/test_support.h"

TEST(ActionCodes, OnlyPausesStopsAndStartsUseTheDelay) {
  for (int32_t code = -1; code <= 9; ++code) {
    bool expected = code == 1 || code == 2 || code == 3 || code == 5 || code == 6;
    EXPECT_EQ(expected, ActionUsesDelay(code)) << "code " << code;
  }
}
