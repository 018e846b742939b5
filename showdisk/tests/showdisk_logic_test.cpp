// The launcher's decisions that need no window: where the frame goes on the screen. (Its
// folder and show command follow the framework's rules: framework/tests/framework_rules_test.cpp.)
#include <gtest/gtest.h>

#include "showdisk/frame_placement.h"

namespace {

TEST(CentredOrigin, SignedAndTruncatedTowardZero) {
  const struct {
    int screenW, screenH, w, h, x, y;
  } cases[] = {
      {1024, 768, 651, 406, 186, 181},
      {1024, 768, 1024, 768, 0, 0},
      // Larger than the screen: negative, -6.5 truncates to -6.
      {640, 480, 653, 406, -6, 37},
      {640, 480, 651, 491, -5, -5},
  };
  for (const auto& c : cases) {
    POINT origin = CentredOrigin(c.screenW, c.screenH, c.w, c.h);
    EXPECT_EQ(c.x, origin.x);
    EXPECT_EQ(c.y, origin.y);
  }
}

}  // namespace
