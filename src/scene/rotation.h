// Orientations as unit quaternions, for the keyframer's rotation tracks.
#ifndef MODELVIEWER_ROTATION_H
#define MODELVIEWER_ROTATION_H

#include "scene/matrix.h"

struct Quaternion {
  double w = 1, x = 0, y = 0, z = 0;
};

Quaternion operator*(const Quaternion& a, const Quaternion& b);
Quaternion Normalised(const Quaternion& q);
// A key's angle in radians and its axis (need not be unit length; none
// turns nothing). The file stores the angle with the opposite sense to a
// right-handed turn.
Quaternion FromAngleAxis(const float* v);
// Spherical interpolation from `a` (t = 0) to `b` (t = 1), the short way.
Quaternion Slerp(Quaternion a, const Quaternion& b, double t);
Matrix RotationMatrix(const Quaternion& q);

#endif
