#include "view/coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "base/stop.h"

namespace {

// `p` taken to the eye's coordinates by `m`, in double precision.
void ToEye(const Matrix& m, const double p[3], double e[3]) {
  for (int r = 0; r < 3; ++r)
    e[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
}

// A rectangle of the picture, in pixels, grown by points of the eye's
// coordinates that lie at or beyond the near plane.
struct Rectangle {
  double low[2] = {0, 0}, high[2] = {0, 0};
  bool empty = true;

  void Take(const double e[3], const PictureView& picture) {
    const Projection& p = picture.projection;
    const double f = 1 / std::tan(Radians(p.fovy) / 2);
    const double depth = -e[2];
    const double x = (1 + f / p.aspect * e[0] / depth) * picture.width / 2;
    const double y = (1 + f * e[1] / depth) * picture.height / 2;
    const double at[2] = {x, y};
    for (int a = 0; a < 2; ++a) {
      if (empty || at[a] < low[a]) low[a] = at[a];
      if (empty || at[a] > high[a]) high[a] = at[a];
    }
    empty = false;
  }

  // Its area within the picture.
  double Within(const PictureView& picture) const {
    if (empty) return 0;
    const double size[2] = {double(picture.width), double(picture.height)};
    double area = 1;
    for (int a = 0; a < 2; ++a)
      area *= std::max(0.0, std::min(high[a], size[a]) - std::max(low[a], 0.0));
    return area;
  }
};

// A key for a placement's mesh and matrix, bit for bit.
std::uint64_t KeyOf(int mesh, const Matrix& m) {
  std::uint64_t h = 14695981039346656037ull;
  auto mix = [&h](const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
  };
  mix(&mesh, sizeof mesh);
  mix(m.data(), sizeof(float) * m.size());
  return h;
}

}  // namespace

double BoxPixels(const float low[3], const float high[3], const Matrix& toeye,
                 const PictureView& picture) {
  double eye[8][3];
  for (int corner = 0; corner < 8; ++corner) {
    double p[3];
    for (int k = 0; k < 3; ++k) p[k] = corner & (1 << k) ? high[k] : low[k];
    ToEye(toeye, p, eye[corner]);
  }
  const double nearz = -picture.projection.nearplane;
  Rectangle rectangle;
  for (int corner = 0; corner < 8; ++corner) {
    if (eye[corner][2] <= nearz) rectangle.Take(eye[corner], picture);
    // Where the edges to the corners above it cross the near plane.
    for (int k = 0; k < 3; ++k) {
      const int other = corner | (1 << k);
      if (other == corner) continue;
      const double* a = eye[corner];
      const double* b = eye[other];
      if ((a[2] <= nearz) == (b[2] <= nearz)) continue;
      const double t = (nearz - a[2]) / (b[2] - a[2]);
      const double cross[3] = {a[0] + t * (b[0] - a[0]),
                               a[1] + t * (b[1] - a[1]), nearz};
      rectangle.Take(cross, picture);
    }
  }
  return rectangle.Within(picture);
}

double Layers(const SceneMesh& mesh) {
  double side[3];
  for (int k = 0; k < 3; ++k) side[k] = double(mesh.high[k]) - mesh.low[k];
  const double surface =
      2 * (side[0] * side[1] + side[1] * side[2] + side[2] * side[0]);
  const double faces = double(DrawnFaces(mesh));
  if (!(surface > 0)) return 0;  // its faces have no area either
  return std::min(faces, 2 * mesh.area / surface);
}

FramePlan PlanFrame(const ScenePose& pose, const PictureView& picture,
                    const std::vector<bool>& blended) {
  const Scene& scene = pose.scene();
  const double most = kMaxOverdraw * picture.width * picture.height;
  double drawn = 0;
  bool full = false;
  FramePlan plan;
  std::unordered_map<std::uint64_t, size_t> seen;  // key -> placement
  Matrix matrix, earlier;
  for (size_t i = 0; i < scene.placements.size(); ++i) {
    StopPointEvery(i);
    const int m = scene.placements[i].mesh;
    const SceneMesh& mesh = scene.meshes[m];
    if (!mesh.bounded || !pose.Place(i, matrix)) continue;
    auto first = seen.emplace(KeyOf(m, matrix), i);
    const bool copy =
        !first.second && scene.placements[first.first->second].mesh == m &&
        pose.Place(first.first->second, earlier) && earlier == matrix;
    if (copy && !blended[m]) continue;  // draws nothing new
    if (full) {
      ++plan.leftout;
      continue;
    }
    const bool moved = scene.placements[i].node >= 0;
    const double pixels =
        BoxPixels(mesh.low, mesh.high,
                  moved ? Multiply(picture.view, matrix) : picture.view,
                  picture) *
        Layers(mesh);
    const size_t faces = DrawnFaces(mesh);
    const double facepixels = faces > 0 ? pixels / faces : 0;
    size_t taken = faces;
    if (drawn + pixels > most) {
      full = true;
      ++plan.leftout;
      taken = static_cast<size_t>(
          std::min(double(faces), std::floor((most - drawn) / facepixels)));
    }
    drawn += taken * facepixels;
    if (taken > 0) plan.placements.push_back({i, taken, facepixels, copy});
  }
  return plan;
}
