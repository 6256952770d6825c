// Matrices and the angles they are made from: column-major 4 x 4 floats, as
// OpenGL takes them, composed in double precision.
#ifndef MODELVIEWER_MATRIX_H
#define MODELVIEWER_MATRIX_H

#include <array>

const double kPi = 3.14159265358979323846;
inline double Radians(double degrees) { return degrees * kPi / 180; }
inline double Degrees(double radians) { return radians * 180 / kPi; }

using Matrix = std::array<float, 16>;

Matrix Identity();
Matrix Multiply(const Matrix& a, const Matrix& b);
Matrix Translation(const float* t);
Matrix Scaling(const float* s);
// The point `p` moved by `m`.
void Transform(const Matrix& m, const float* p, float* out);
// The determinant of the 3 x 3 part.
double Determinant(const Matrix& m);
// Whether `m` mirrors what it moves: its faces then wind the other way.
bool Mirrors(const Matrix& m);
// Whether every entry is a finite number.
bool Finite(const Matrix& m);
// The inverse of the affine `m`; false, leaving the identity, when it has
// none that is finite.
bool InvertAffine(const Matrix& m, Matrix& inverse);

#endif
