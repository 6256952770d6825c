#include "view/framing.h"

#include <cmath>

#include "scene/cameras.h"
#include "scene/matrix.h"

Framing FrameBox(const float low[3], const float high[3]) {
  Framing f;
  double squared = 0;
  for (int k = 0; k < 3; ++k) {
    f.centre[k] =
        static_cast<float>(0.5 * (static_cast<double>(low[k]) + high[k]));
    const double side = static_cast<double>(high[k]) - low[k];
    squared += side * side;
  }
  double radius = 0.5 * std::sqrt(squared);
  if (!(radius > 0) || !std::isfinite(radius) || radius > kFarthest) radius = 1;
  const double distance = radius / std::sin(Radians(kFieldOfView / 2));
  f.radius = static_cast<float>(radius);
  f.distance = static_cast<float>(distance);
  f.nearplane = distance - kClipMargin * radius;
  f.farplane = distance + kClipMargin * radius;
  return f;
}
