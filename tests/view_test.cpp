// The viewing mode's view: where the eye stands for the turntable and for a
// file's cameras, and how orbiting, panning and zooming move it.
#include "view/view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "view/coverage.h"

namespace {

const int kW = 800, kH = 600;

// Where `p` falls in a kW x kH window, in pixels from the top left.
void PixelOf(const View& view, const double p[3], double& x, double& y) {
  const Matrix m = ViewMatrix(view);
  const float point[3] = {float(p[0]), float(p[1]), float(p[2])};
  float eye[3];
  Transform(m, point, eye);
  const double aspect = double(kW) / kH;
  const double t = std::tan(VerticalFov(view, aspect) * kPi / 360);
  x = (1 + eye[0] / (-eye[2] * t * aspect)) * kW / 2;
  y = (1 - eye[1] / (-eye[2] * t)) * kH / 2;
}

SceneCamera Camera(std::vector<float> at, std::vector<float> to, float roll,
                   float lens) {
  SceneCamera c;
  for (int k = 0; k < 3; ++k) c.position[k] = at[k], c.target[k] = to[k];
  c.roll = roll;
  c.lens = lens;
  return c;
}

}  // namespace

TEST(View, CamerasStandWhereTheFileSaysAndBrokenOnesShowNothing) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* what;
    SceneCamera camera;
    bool shows;
    double upx, upy;  // where the file's up axis points on screen
  } cases[] = {
      {"in front", Camera({0, -10, 0}, {0, 0, 0}, 0, 35), true, 0, 1},
      {"rolled 90: the picture turns clockwise",
       Camera({0, -10, 0}, {0, 0, 0}, 90, 35), true, 1, 0},
      {"from the side, above, away from the origin",
       Camera({40, 7, 30}, {-3, 5, 2}, 0, 200), true, 0, 1},
      {"straight down", Camera({1, 2, 50}, {1, 2, 0}, 0, 50), true, 0, 0},
      {"at its own target", Camera({1, 2, 3}, {1, 2, 3}, 0, 35), false, 0, 0},
      {"lens 0", Camera({0, -10, 0}, {0, 0, 0}, 0, 0), false, 0, 0},
      {"a negative lens", Camera({0, -10, 0}, {0, 0, 0}, 0, -35), false, 0, 0},
      {"an infinite position", Camera({0, -inf, 0}, {0, 0, 0}, 0, 35), false, 0,
       0},
      {"a roll that is not a number",
       Camera({0, -10, 0}, {0, 0, 0}, std::nanf(""), 35), false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    View view;
    ASSERT_EQ(c.shows, CameraView(c.camera, view));
    if (!c.shows) continue;
    double eye[3], target[3], above[3];
    EyeOf(view, eye);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(c.camera.position[k], eye[k], 1e-4);
      target[k] = c.camera.target[k];
      above[k] = target[k] + (k == 2 ? 0.01 : 0);
    }
    double x, y, ux, uy;
    PixelOf(view, target, x, y);
    EXPECT_NEAR(kW / 2, x, 1e-3);
    EXPECT_NEAR(kH / 2, y, 1e-3);
    if (c.upx || c.upy) {
      PixelOf(view, above, ux, uy);
      const double length = std::hypot(ux - x, uy - y);
      EXPECT_NEAR(c.upx, (ux - x) / length, 1e-3);
      EXPECT_NEAR(c.upy, (y - uy) / length, 1e-3);
    }
    // 36 mm of film across the window's width.
    const double half =
        std::tan(VerticalFov(view, double(kW) / kH) * kPi / 360) * kW / kH;
    EXPECT_NEAR(18 / c.camera.lens, half, 1e-6);
  }
}

TEST(View, TurntableOrbitPanAndZoomKeepTheirPromises) {
  Framing framing;
  framing.centre[0] = 5, framing.centre[1] = -2, framing.centre[2] = 1;
  framing.distance = 20;
  View view = TurntableView(framing);
  // Looking along +y from in front, 25 degrees above the centre.
  double eye[3];
  EyeOf(view, eye);
  EXPECT_NEAR(5, eye[0], 1e-9);
  EXPECT_NEAR(-2 - 20 * std::cos(25 * kPi / 180), eye[1], 1e-9);
  EXPECT_NEAR(1 + 20 * std::sin(25 * kPi / 180), eye[2], 1e-9);

  // The elevation stops at 85 degrees either way; the yaw wraps.
  Orbit(view, 725, 200);
  EXPECT_NEAR(5, view.yaw, 1e-9);
  EXPECT_EQ(85, view.elevation);
  Orbit(view, 0, -1000);
  EXPECT_EQ(-85, view.elevation);

  // What lies at the target's depth follows the pointer, pixel for pixel.
  Orbit(view, 30, 100);
  const double before[3] = {view.target[0], view.target[1], view.target[2]};
  Pan(view, 120, -45, kW, kH);
  double x, y;
  PixelOf(view, before, x, y);
  EXPECT_NEAR(kW / 2 + 120, x, 1e-2);
  EXPECT_NEAR(kH / 2 - 45, y, 1e-2);

  // 15 % a notch, undone by a notch back; a thousand notches in never reach
  // the target, and the planes stay in front of the eye.
  Zoom(view, 1);
  EXPECT_NEAR(17, view.distance, 1e-9);
  Zoom(view, -1);
  EXPECT_NEAR(20, view.distance, 1e-9);
  Zoom(view, 1000);
  EXPECT_GT(view.distance, 0);
  double nearplane, farplane;
  ClipPlanes(view, framing.centre, 3, nearplane, farplane);
  EXPECT_GT(nearplane, 0);
  EXPECT_GT(farplane, nearplane);
  // A thousand notches out, the scene is a speck, but still drawn.
  Zoom(view, -2000);
  ClipPlanes(view, framing.centre, 3, nearplane, farplane);
  EXPECT_GT(nearplane, 0);
  EXPECT_GT(farplane, nearplane);
  EXPECT_TRUE(std::isfinite(farplane));
}

TEST(View, AreaEstimateIsTheBoxSeenTimesHowOftenItsFacesCoverIt) {
  // 100 x 100 pixels, 90 degrees: a point at depth d lands x / d of the
  // half picture from the middle. From the origin along -z unless a view
  // is given: 4 in front of the origin, level, in a picture twice as wide.
  View level;
  level.distance = 4;
  level.elevation = 0;
  const struct {
    const char* what;
    std::vector<float> low, high;
    double area;  // of the mesh's faces
    size_t faces;
    double pixels;
    bool turntable = false;
  } cases[] = {
      {"a 2 x 2 square face-on at depth 2: half the picture's side",
       {-1, -1, -2},
       {1, 1, -2},
       4,
       2,
       50 * 50},
      {"a closed cube behind it: its nearest side, front and back",
       {-1, -1, -4},
       {1, 1, -2},
       24,
       12,
       2 * 50 * 50},
      {"65 535 faces on the square, each half of it",
       {-1, -1, -2},
       {1, 1, -2},
       65535 * 2.0,
       65535,
       32767.5 * 50 * 50},
      {"past the picture's corner: clipped to it",
       {0, 0, -2},
       {10, 10, -2},
       100,
       2,
       50 * 50},
      {"beside the picture", {3, -1, -2}, {5, 1, -2}, 4, 2, 0},
      {"nearer than the near plane", {-1, -1, -0.5f}, {1, 1, -0.1f}, 24, 12, 0},
      {"behind the eye", {-1, -1, 1}, {1, 1, 2}, 24, 12, 0},
      {"across the near plane: the whole picture",
       {-1, -1, -2},
       {1, 1, 0},
       24,
       12,
       2 * 100 * 100},
      {"an upright square before the turntable, 200 x 100",
       {-1, 0, -1},
       {1, 0, 1},
       4,
       2,
       25 * 25,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SceneMesh mesh;
    for (int k = 0; k < 3; ++k)
      mesh.low[k] = c.low[k], mesh.high[k] = c.high[k];
    mesh.bounded = true;
    mesh.area = c.area;
    mesh.groups.emplace_back();
    mesh.groups[0].corners.assign(3 * c.faces, 0);
    PictureView picture{100, 100, Identity(), {90, 1, 1, 100}};
    if (c.turntable) picture = {200, 100, ViewMatrix(level), {90, 2, 1, 100}};
    EXPECT_NEAR(
        c.pixels,
        BoxPixels(mesh.low, mesh.high, picture.view, picture) * Layers(mesh),
        1e-6 * c.pixels + 1e-6);
  }
}
