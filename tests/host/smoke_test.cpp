#include <gtest/gtest.h>
#include "xphost.h"
TEST(Smoke, Builds) { xphost::Reset(); EXPECT_EQ(xphost::FrameCount(), 0); }
