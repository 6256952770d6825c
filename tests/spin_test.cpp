// The spin: the document's first angles, kept within one turn, never stalled.
#include "view/spin.h"

#include <gtest/gtest.h>

TEST(Spin, StepsStayWithinATurnAndNeverStall) {
  // The first frames: 0, then 0.2 and 0.4 as floats.
  float angle = NextAngle(0.0f);
  EXPECT_EQ(static_cast<float>(0.2), angle);
  EXPECT_EQ(static_cast<float>(static_cast<double>(angle) + 0.2),
            NextAngle(angle));
  // 25 million frames, about five days at 60 a second (an unbounded float
  // sum stops at 2^22 degrees, after about 18 million): the angle moves
  // every frame and never leaves [0, 360).
  // One check at the end: an assertion a frame took ten times the loop.
  angle = 0.0f;
  int frame = 0;
  for (; frame < 25000000; ++frame) {
    const float next = NextAngle(angle);
    if (next == angle || !(next >= 0.0f && next < 360.0f)) break;
    angle = next;
  }
  EXPECT_EQ(25000000, frame) << "stalled or out of [0, 360) after " << angle;
  // The timed spin: 12 degrees a second, a turn every 30 seconds.
  EXPECT_EQ(0.0f, TimedAngle(0));
  EXPECT_FLOAT_EQ(12.0f, TimedAngle(1000));
  EXPECT_FLOAT_EQ(6.0f, TimedAngle(30500));
}
