#include "scene/matrix.h"

#include <cmath>

Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += double(a[4 * k + r]) * b[4 * c + k];
      m[4 * c + r] = static_cast<float>(sum);
    }
  return m;
}

Matrix Translation(const float* t) {
  Matrix m = Identity();
  m[12] = t[0], m[13] = t[1], m[14] = t[2];
  return m;
}

Matrix Scaling(const float* s) {
  Matrix m = Identity();
  m[0] = s[0], m[5] = s[1], m[10] = s[2];
  return m;
}

void Transform(const Matrix& m, const float* p, float* out) {
  for (int r = 0; r < 3; ++r)
    out[r] = static_cast<float>(double(m[r]) * p[0] + double(m[4 + r]) * p[1] +
                                double(m[8 + r]) * p[2] + m[12 + r]);
}

double Determinant(const Matrix& m) {
  return double(m[0]) * (double(m[5]) * m[10] - double(m[9]) * m[6]) -
         double(m[4]) * (double(m[1]) * m[10] - double(m[9]) * m[2]) +
         double(m[8]) * (double(m[1]) * m[6] - double(m[5]) * m[2]);
}

bool Mirrors(const Matrix& m) { return Determinant(m) < 0; }

bool Finite(const Matrix& m) {
  for (float v : m)
    if (!std::isfinite(v)) return false;
  return true;
}

bool InvertAffine(const Matrix& m, Matrix& inverse) {
  inverse = Identity();
  const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9],
               g = m[2], h = m[6], i = m[10];
  const double det = Determinant(m);
  if (!(std::fabs(det) > 1e-12) || !std::isfinite(det)) return false;
  const double r[9] = {
      (e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
      (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
      (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      inverse[4 * col + row] = static_cast<float>(r[3 * row + col]);
  for (int row = 0; row < 3; ++row)
    inverse[12 + row] = static_cast<float>(-(
        r[3 * row] * m[12] + r[3 * row + 1] * m[13] + r[3 * row + 2] * m[14]));
  // An origin that is not finite, or an inverse past the floats' range, is
  // no inverse either.
  if (!Finite(inverse)) {
    inverse = Identity();
    return false;
  }
  return true;
}
