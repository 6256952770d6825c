// The framing: the distance at which the whole model fits the view.
#include "view/framing.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Framing, BoundingSphereJustFitsTheView) {
  const double fit = std::sin(kFieldOfView / 2 * std::acos(-1.0) / 180);
  const struct {
    float low[3], high[3];
    float centre[3];
    float radius;
  } cases[] = {
      {{-1, -2, -3}, {3, 2, 1}, {1, 0, -1}, 0.5f * std::sqrt(48.0f)},
      {{1e-4f, 0, 0}, {2e-4f, 0, 0}, {1.5e-4f, 0, 0}, 0.5e-4f},
      {{5, 5, 5}, {5, 5, 5}, {5, 5, 5}, 1},           // a point: radius 1
      {{-3e38f, 0, 0}, {3e38f, 0, 0}, {0, 0, 0}, 1},  // no finite size
  };
  for (const auto& c : cases) {
    Framing f = FrameBox(c.low, c.high);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(c.centre[k], f.centre[k]);
    EXPECT_FLOAT_EQ(c.radius, f.radius);
    EXPECT_FLOAT_EQ(c.radius, static_cast<float>(f.distance * fit));
    EXPECT_GT(f.nearplane, 0);
    EXPECT_LT(f.nearplane, f.distance - f.radius);
    EXPECT_GT(f.farplane, f.distance + f.radius);
  }
}
