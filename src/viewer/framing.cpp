#include "framing.h"

#include <cmath>

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
  if (!(radius > 0) || !std::isfinite(radius) || radius > 1e30) radius = 1;
  const double pi = std::acos(-1.0);
  const double distance = radius / std::sin(kFieldOfView / 2 * pi / 180);
  f.radius = static_cast<float>(radius);
  f.distance = static_cast<float>(distance);
  // A little room either side, so the sphere's nearest and farthest points
  // are never clipped by rounding.
  f.nearplane = distance - 1.05 * radius;
  f.farplane = distance + 1.05 * radius;
  return f;
}
