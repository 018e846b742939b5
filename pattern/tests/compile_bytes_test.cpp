#include <gtest/gtest.h>
#include "pattern/pattern.h"
TEST(Smoke, Empty) { EXPECT_EQ(10, PatternCodeSize("")); }
