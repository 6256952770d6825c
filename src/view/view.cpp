#include "view/view.h"

#include <algorithm>
#include <cmath>

namespace {

// Row-major 3 x 3 rotations, in double precision.
struct Rotation {
  double m[3][3];
};

Rotation Times(const Rotation& a, const Rotation& b) {
  Rotation r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
  return r;
}

// Anticlockwise by `degrees` about axis 0 (x), 1 (y) or 2 (z), as glRotate.
Rotation About(int axis, double degrees) {
  const double c = std::cos(Radians(degrees)), s = std::sin(Radians(degrees));
  const int a = (axis + 1) % 3, b = (axis + 2) % 3;
  Rotation r{};
  r.m[axis][axis] = 1;
  r.m[a][a] = c, r.m[a][b] = -s;
  r.m[b][a] = s, r.m[b][b] = c;
  return r;
}

// From the file's axes to the eye's: z up, looking along +y at yaw 0, then
// turned, tilted down onto the target and rolled. Row 0 is the eye's right,
// row 1 its up, row 2 points back from what it looks at.
Rotation EyeAxes(const View& v) {
  return Times(Times(About(2, -v.roll), About(0, v.elevation)),
               Times(About(1, v.yaw), About(0, -90)));
}

// Each wheel notch takes the eye this share of its distance nearer.
const double kNotchNearer = 0.15;

// The far plane stays within this many near planes, so that depth keeps its
// precision.
const double kDepthRatio = 4096;

// The distance is kept where squaring it and taking planes from it stay
// finite, whatever a person does.
double Bounded(double distance) {
  return std::min(std::max(distance, 1 / kFarthest), kFarthest);
}

}  // namespace

View TurntableView(const Framing& framing) {
  View v;
  for (int k = 0; k < 3; ++k) v.target[k] = framing.centre[k];
  v.distance = Bounded(framing.distance);
  return v;
}

bool CameraView(const SceneCamera& camera, View& view) {
  if (!CameraShowsSomething(camera)) return false;
  double offset[3], squared = 0;
  for (int k = 0; k < 3; ++k) {
    offset[k] = double(camera.position[k]) - camera.target[k];
    squared += offset[k] * offset[k];
  }
  const double distance = std::sqrt(squared);
  View v;
  for (int k = 0; k < 3; ++k) v.target[k] = camera.target[k];
  v.distance = Bounded(distance);
  v.elevation =
      Degrees(std::asin(std::max(-1.0, std::min(1.0, offset[2] / distance))));
  v.yaw = Degrees(std::atan2(-offset[0], -offset[1]));
  v.roll = camera.roll;
  // A lens that would show (nearly) nothing or everything is held where the
  // projection still has a meaning.
  v.fov = std::min(
      std::max(2 * Degrees(std::atan(kHalfFilmWidth / camera.lens)), 0.01),
      179.0);
  v.across = true;
  view = v;
  return true;
}

namespace {

// The distance at which every point, seen from `view`'s direction about its
// target, lies within `k` (the tangent of the half view that it may use) of
// the middle; and where the points' projections are centred, in the same
// measure.
double FitDistance(const View& view, const std::vector<float>& points, double k,
                   double centre[2]) {
  const Rotation axes = EyeAxes(view);
  std::vector<double> x, y, z;
  double d = 0;
  for (size_t i = 0; i + 2 < points.size(); i += 3) {
    double e[3];
    for (int row = 0; row < 3; ++row) {
      e[row] = 0;
      for (int k3 = 0; k3 < 3; ++k3)
        e[row] += axes.m[row][k3] * (points[i + k3] - view.target[k3]);
    }
    d = std::max(d, e[2] + std::max(std::fabs(e[0]), std::fabs(e[1])) / k);
    x.push_back(e[0]), y.push_back(e[1]), z.push_back(e[2]);
  }
  double low[2] = {0, 0}, high[2] = {0, 0};
  for (size_t i = 0; i < x.size(); ++i) {
    const double w = std::max(d - z[i], 1 / kFarthest);
    const double u = x[i] / w, v = y[i] / w;
    if (i == 0 || u < low[0]) low[0] = u;
    if (i == 0 || u > high[0]) high[0] = u;
    if (i == 0 || v < low[1]) low[1] = v;
    if (i == 0 || v > high[1]) high[1] = v;
  }
  for (int a = 0; a < 2; ++a) centre[a] = 0.5 * (low[a] + high[a]);
  return d;
}

}  // namespace

View TightView(const std::vector<float>& points, double yaw, double elevation,
               double fill) {
  View view;
  view.yaw = yaw;
  view.elevation = elevation;
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  bool bounded = false;
  for (size_t i = 0; i + 2 < points.size(); i += 3)
    for (int k = 0; k < 3; ++k) {
      if (!bounded || points[i + k] < low[k]) low[k] = points[i + k];
      if (!bounded || points[i + k] > high[k]) high[k] = points[i + k];
      if (k == 2) bounded = true;
    }
  for (int k = 0; k < 3; ++k) view.target[k] = 0.5 * (double(low[k]) + high[k]);
  const double k = fill * std::tan(Radians(view.fov) / 2);
  // Aimed at the middle of what the points show: a few steps, each moving
  // the target across the view by what is off the middle.
  const Rotation axes = EyeAxes(view);
  double centre[2];
  for (int step = 0; step < 4; ++step) {
    const double d = FitDistance(view, points, k, centre);
    for (int a = 0; a < 2; ++a)
      for (int c = 0; c < 3; ++c)
        view.target[c] += centre[a] * d * axes.m[a][c];
  }
  view.distance = Bounded(FitDistance(view, points, k, centre));
  return view;
}

void Orbit(View& view, double yaw, double elevation) {
  view.yaw = std::fmod(view.yaw + yaw, 360.0);
  view.elevation = std::min(
      std::max(view.elevation + elevation, -kMaxElevation), kMaxElevation);
}

void Zoom(View& view, int notches) {
  view.distance = Bounded(view.distance * std::pow(1 - kNotchNearer, notches));
}

void Pan(View& view, double dx, double dy, int width, int height) {
  if (width <= 0 || height <= 0) return;
  const double aspect = double(width) / height;
  // The size of a pixel at the target's depth.
  const double pixel = 2 * view.distance *
                       std::tan(Radians(VerticalFov(view, aspect)) / 2) /
                       height;
  const Rotation axes = EyeAxes(view);
  for (int k = 0; k < 3; ++k) {
    view.target[k] += pixel * (-dx * axes.m[0][k] + dy * axes.m[1][k]);
    view.target[k] = std::min(std::max(view.target[k], -kFarthest), kFarthest);
  }
}

double VerticalFov(const View& view, double aspect) {
  const double half = std::tan(Radians(view.fov) / 2);
  if (view.across || aspect < 1) return 2 * Degrees(std::atan(half / aspect));
  return view.fov;
}

void EyeOf(const View& view, double eye[3]) {
  const Rotation axes = EyeAxes(view);
  for (int k = 0; k < 3; ++k)
    eye[k] = view.target[k] + view.distance * axes.m[2][k];
}

Matrix ViewMatrix(const View& view) {
  const Rotation axes = EyeAxes(view);
  Matrix m = Identity();
  for (int row = 0; row < 3; ++row) {
    double moved = 0;
    for (int k = 0; k < 3; ++k) {
      m[4 * k + row] = static_cast<float>(axes.m[row][k]);
      moved -= axes.m[row][k] * view.target[k];
    }
    if (row == 2) moved -= view.distance;
    m[12 + row] = static_cast<float>(moved);
  }
  return m;
}

void ClipPlanes(const View& view, const float centre[3], double radius,
                double& nearplane, double& farplane) {
  double eye[3], squared = 0;
  EyeOf(view, eye);
  for (int k = 0; k < 3; ++k)
    squared += (eye[k] - centre[k]) * (eye[k] - centre[k]);
  const double apart = std::sqrt(squared);
  farplane = apart + kClipMargin * radius;
  nearplane = std::max(apart - kClipMargin * radius, farplane / kDepthRatio);
  // Far from a small scene, the two planes meet in rounding; a projection
  // needs them apart.
  nearplane = std::min(nearplane, farplane * 0.999);
}
