// The model's spin about the vertical axis, in degrees.
#ifndef MODELVIEWER_SPIN_H
#define MODELVIEWER_SPIN_H

#include <cmath>

// One frame's step of 0.2 degrees, added in double precision. The angle is
// kept in [0, 360): a float that grew without end would, after days, stop
// changing when 0.2 is added.
inline float NextAngle(float angle) {
  double next = static_cast<double>(angle) + 0.2;
  if (next >= 360.0) next -= 360.0;
  float stored = static_cast<float>(next);
  return stored < 360.0f ? stored : 0.0f;
}

// A turn every 30 seconds, whatever the frame rate: 12 degrees a second,
// which is 0.2 degrees a frame at 60 frames a second.
inline float TimedAngle(unsigned long long milliseconds) {
  return static_cast<float>(std::fmod(milliseconds * 0.012, 360.0));
}

#endif
