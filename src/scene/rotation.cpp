#include "scene/rotation.h"

#include <cmath>

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
          a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaternion Normalised(const Quaternion& q) {
  const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  return {q.w / n, q.x / n, q.y / n, q.z / n};
}

Quaternion FromAngleAxis(const float* v) {
  const double length = std::sqrt(double(v[1]) * v[1] + double(v[2]) * v[2] +
                                  double(v[3]) * v[3]);
  if (!(length > 0)) return Quaternion();
  const double half = -0.5 * v[0], s = std::sin(half) / length;
  return {std::cos(half), v[1] * s, v[2] * s, v[3] * s};
}

Quaternion Slerp(Quaternion a, const Quaternion& b, double t) {
  double dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
  if (dot < 0) {
    a = {-a.w, -a.x, -a.y, -a.z};
    dot = -dot;
  }
  double wa = 1 - t, wb = t;
  // Nearly the same orientation: a straight line, then made unit.
  if (dot < 0.9995) {
    const double angle = std::acos(dot), s = std::sin(angle);
    wa = std::sin((1 - t) * angle) / s;
    wb = std::sin(t * angle) / s;
  }
  return Normalised({wa * a.w + wb * b.w, wa * a.x + wb * b.x,
                     wa * a.y + wb * b.y, wa * a.z + wb * b.z});
}

Matrix RotationMatrix(const Quaternion& q) {
  const double w = q.w, x = q.x, y = q.y, z = q.z;
  Matrix m = Identity();
  m[0] = float(1 - 2 * (y * y + z * z));
  m[1] = float(2 * (x * y + w * z));
  m[2] = float(2 * (x * z - w * y));
  m[4] = float(2 * (x * y - w * z));
  m[5] = float(1 - 2 * (x * x + z * z));
  m[6] = float(2 * (y * z + w * x));
  m[8] = float(2 * (x * z + w * y));
  m[9] = float(2 * (y * z - w * x));
  m[10] = float(1 - 2 * (x * x + y * y));
  return m;
}
