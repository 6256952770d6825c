#include "scene/pose.h"

#include <algorithm>
#include <cmath>

#include "base/stop.h"
#include "scene/rotation.h"

namespace {

// The key at or before `frame` (0 before the first) and how far `frame`
// lies toward the next one.
size_t Segment(const Keys& keys, double frame, double& s) {
  const TrackKey* after = std::upper_bound(
      keys.begin(), keys.end(), frame,
      [](double f, const TrackKey& key) { return f < key.frame; });
  size_t i = after == keys.begin() ? 0 : (after - keys.begin()) - 1;
  s = 0;
  if (frame > keys[i].frame && i + 1 < keys.size)
    s = (frame - keys[i].frame) / (keys[i + 1].frame - keys[i].frame);
  return i;
}

// Kochanek-Bartels tangents of key i: leaving it (out) and arriving (in).
void Tangents(const Keys& keys, size_t i, int k, double& out, double& in) {
  const TrackKey& key = keys[i];
  const double before = i > 0 ? key.value[k] - keys[i - 1].value[k] : 0;
  const double after =
      i + 1 < keys.size ? keys[i + 1].value[k] - key.value[k] : 0;
  const double g1 = i > 0 ? before : after,
               g2 = i + 1 < keys.size ? after : before;
  const double t = key.tension, c = key.continuity, b = key.bias;
  out = (1 - t) * ((1 - c) * (1 + b) * g1 + (1 + c) * (1 - b) * g2) / 2;
  in = (1 - t) * ((1 + c) * (1 + b) * g1 + (1 - c) * (1 - b) * g2) / 2;
}

// A Hermite spline through the keys, with their tangents.
void Interpolate(const Keys& keys, double frame, const float* otherwise,
                 float* v) {
  if (keys.empty()) {
    for (int k = 0; k < 3; ++k) v[k] = otherwise[k];
    return;
  }
  double s;
  const size_t i = Segment(keys, frame, s);
  for (int k = 0; k < 3; ++k) {
    if (s == 0) {
      v[k] = keys[i].value[k];
      continue;
    }
    double out0, in0, out1, in1;
    Tangents(keys, i, k, out0, in0);
    Tangents(keys, i + 1, k, out1, in1);
    const double s2 = s * s, s3 = s2 * s;
    v[k] = static_cast<float>((2 * s3 - 3 * s2 + 1) * keys[i].value[k] +
                              (-2 * s3 + 3 * s2) * keys[i + 1].value[k] +
                              (s3 - 2 * s2 + s) * out0 + (s3 - s2) * in1);
  }
}

Quaternion Stored(const TrackKey& key) {
  return {key.value[0], key.value[1], key.value[2], key.value[3]};
}

// Rotation keys hold absolute orientations, as quaternions, once read.
Quaternion Orientation(const Keys& keys, double frame) {
  if (keys.empty()) return Quaternion();
  double s;
  const size_t i = Segment(keys, frame, s);
  if (s == 0) return Stored(keys[i]);
  return Slerp(Stored(keys[i]), Stored(keys[i + 1]), s);
}

// A node's own transform at `frame`: T(position) R(rotation) S(scale) for
// an object node, T(position) for the others.
Matrix NodeMatrix(const Keyframer& kf, const KeyframeNode& node, double frame) {
  static const float kZero[3] = {0, 0, 0}, kOne[3] = {1, 1, 1};
  float position[3], scale[3];
  Interpolate(kf.KeysOf(node.position), frame, kZero, position);
  if (node.kind != NodeKind::kObject) return Translation(position);
  Interpolate(kf.KeysOf(node.scale), frame, kOne, scale);
  return Multiply(
      Multiply(Translation(position),
               RotationMatrix(Orientation(kf.KeysOf(node.rotation), frame))),
      Scaling(scale));
}

// The world matrix of each posed node at `frame` (by its slot), and
// whether it is shown.
void PoseNodes(const Scene& scene, double frame, std::vector<Matrix>& world,
               std::vector<bool>& shown) {
  const Keyframer& kf = scene.keyframer;
  world.resize(scene.posed.size());
  shown.resize(scene.posed.size());
  for (size_t i = 0; i < scene.posed.size(); ++i) {
    StopPointEvery(i);
    const KeyframeNode& node = kf.nodes[scene.posed[i]];
    const Matrix local = NodeMatrix(kf, node, frame);
    const int parent = node.parent >= 0 ? scene.slot[node.parent] : -1;
    world[i] = parent >= 0 ? Multiply(world[parent], local) : local;
    shown[i] = !kf.Hidden(node, frame) && (parent < 0 || shown[parent]);
  }
}

// Whether the placement's mesh box, moved by `m`, stays finite.
bool FiniteBox(const SceneMesh& mesh, const Matrix& m) {
  if (!Finite(m)) return false;
  float corners[8][3];
  MovedBoxCorners(mesh, m, corners);
  for (const float* q : corners)
    if (!std::isfinite(q[0]) || !std::isfinite(q[1]) || !std::isfinite(q[2]))
      return false;
  return true;
}

// The eight corners of the mesh's box, x, y, z each.
std::vector<float> BoxCorners(const SceneMesh& mesh) {
  std::vector<float> corners(24);
  for (int corner = 0; corner < 8; ++corner)
    BoxCorner(mesh, corner, &corners[3 * corner]);
  return corners;
}

// The box of the placement's mesh, moved by `m`, added to the box.
void GrowByMesh(const SceneMesh& mesh, const Matrix& m, bool& bounded,
                float* low, float* high) {
  float corners[8][3];
  MovedBoxCorners(mesh, m, corners);
  for (const float* q : corners) GrowBox(q, bounded, low, high);
}

}  // namespace

void MovedBoxCorners(const SceneMesh& mesh, const Matrix& m,
                     float corners[8][3]) {
  for (int corner = 0; corner < 8; ++corner) {
    float p[3];
    BoxCorner(mesh, corner, p);
    Transform(m, p, corners[corner]);
  }
}

double AnimationFrame(const Keyframer& kf, double startframe, double elapsed) {
  double frame = startframe + elapsed * (kFramesPerSecond / 1000);
  const double span = kf.end - kf.start;
  if (frame > kf.end && span > 0)
    frame = kf.start + std::fmod(frame - kf.start, span);
  return frame;
}

void TrackAt(const Keys& keys, double frame, const float* otherwise,
             float* value, int count) {
  float v[3], other[3] = {0, 0, 0};
  for (int k = 0; k < count; ++k) other[k] = otherwise[k];
  Interpolate(keys, frame, other, v);
  for (int k = 0; k < count; ++k) value[k] = v[k];
}

ScenePose::ScenePose(const Scene& scene, double frame) : scene_(scene) {
  PoseNodes(scene, frame, world_, shown_);
}

bool ScenePose::World(int node, Matrix& matrix) const {
  const int slot = node >= 0 ? scene_.slot[node] : -1;
  if (slot < 0) return false;
  matrix = world_[slot];
  return true;
}

bool ScenePose::Place(size_t i, Matrix& matrix, bool* finite) const {
  if (finite) *finite = true;
  const Placement& p = scene_.placements[i];
  if (p.node < 0) {
    matrix = Identity();
    return true;
  }
  const int slot = scene_.slot[p.node];
  const float* pivot = scene_.keyframer.nodes[p.node].pivot;
  const float minus[3] = {-pivot[0], -pivot[1], -pivot[2]};
  const SceneMesh& mesh = scene_.meshes[p.mesh];
  matrix = Multiply(world_[slot], Multiply(Translation(minus), mesh.inverse));
  if (!shown_[slot]) return false;
  if (FiniteBox(mesh, matrix)) return true;
  if (finite) *finite = false;
  return false;
}

void PoseScene(const Scene& scene, double frame, std::vector<Matrix>& matrices,
               std::vector<bool>& shown, std::vector<size_t>* notfinite) {
  const ScenePose pose(scene, frame);
  matrices.resize(scene.placements.size());
  shown.resize(scene.placements.size());
  for (size_t i = 0; i < scene.placements.size(); ++i) {
    StopPointEvery(i);
    bool finite;
    shown[i] = pose.Place(i, matrices[i], &finite);
    if (!finite && notfinite) notfinite->push_back(i);
  }
}

PlacedPoints::PlacedPoints(const ScenePose& pose, size_t most) : pose_(pose) {
  const Scene& scene = pose.scene();
  size_t drawn = 0;
  Matrix matrix;
  for (size_t i = 0; i < scene.placements.size() && drawn <= most; ++i)
    if (pose.Place(i, matrix))
      drawn += scene.meshes[scene.placements[i].mesh].vertices.size() / 3;
  vertices_ = drawn <= most;
}

bool PlacedPoints::Add(size_t i, std::vector<float>& points) const {
  const Scene& scene = pose_.scene();
  const SceneMesh& mesh = scene.meshes[scene.placements[i].mesh];
  Matrix matrix;
  if (!mesh.bounded || !pose_.Place(i, matrix)) return false;
  const std::vector<float> corners =
      vertices_ ? std::vector<float>() : BoxCorners(mesh);
  const std::vector<float>& from = vertices_ ? mesh.vertices : corners;
  const size_t first = points.size();
  points.resize(first + from.size() / 3 * 3);
  for (size_t v = 0; v + 2 < from.size(); v += 3)
    Transform(matrix, from.data() + v, points.data() + first + v);
  return true;
}

std::vector<float> DrawnPoints(const Scene& scene, double frame, size_t most) {
  const ScenePose pose(scene, frame);
  const PlacedPoints placed(pose, most);
  std::vector<float> points;
  for (size_t i = 0; i < scene.placements.size(); ++i) {
    StopPointEvery(i);
    placed.Add(i, points);
  }
  return points;
}

namespace {

// How many frames a sweep over the segment poses: at most kSweepSamples,
// and fewer where the scene's placements and nodes would pass kSweepWork.
int SweepSamples(const Scene& scene) {
  const Keyframer& kf = scene.keyframer;
  const double work = double(scene.placements.size() + scene.posed.size());
  int samples = kf.end > kf.start ? kSweepSamples : 1;
  if (samples > 1 && work * samples > kSweepWork)
    samples = std::max(2, static_cast<int>(kSweepWork / work));
  return samples;
}

// Sample s of a sweep of `samples` frames over the segment.
double SweepFrame(const Keyframer& kf, int s, int samples) {
  return samples > 1 ? kf.start + (kf.end - kf.start) * s / (samples - 1)
                     : kf.start;
}

}  // namespace

bool SceneBox(const Scene& scene, double frame, bool sweep, float low[3],
              float high[3]) {
  const Keyframer& kf = scene.keyframer;
  const int samples = sweep ? SweepSamples(scene) : 1;
  bool bounded = false;
  for (int s = 0; s < samples; ++s) {
    const double f = samples > 1 ? SweepFrame(kf, s, samples) : frame;
    const ScenePose pose(scene, f);
    Matrix matrix;
    for (size_t i = 0; i < scene.placements.size(); ++i) {
      StopPointEvery(i);
      const SceneMesh& mesh = scene.meshes[scene.placements[i].mesh];
      if (mesh.bounded && pose.Place(i, matrix))
        GrowByMesh(mesh, matrix, bounded, low, high);
    }
  }
  return bounded;
}

double FirstShownFrame(const Scene& scene) {
  const Keyframer& kf = scene.keyframer;
  const int samples = SweepSamples(scene);
  for (int s = 0; s < samples; ++s) {
    const double frame = SweepFrame(kf, s, samples);
    const ScenePose pose(scene, frame);
    Matrix matrix;
    for (size_t i = 0; i < scene.placements.size(); ++i) {
      StopPointEvery(i);
      if (scene.meshes[scene.placements[i].mesh].bounded &&
          pose.Place(i, matrix))
        return frame;
    }
  }
  return kf.start;
}

namespace {

// Where a camera's or target's node puts it: where the node stands, or,
// without position keys, the stored point moved by the node's parent.
void NodePoint(const ScenePose& pose, int node, const float* stored,
               float* point) {
  const KeyframeNode& n = pose.scene().keyframer.nodes[node];
  Matrix world;
  if (!n.position.empty() && pose.World(node, world)) {
    for (int k = 0; k < 3; ++k) point[k] = world[12 + k];
  } else if (pose.World(n.parent, world)) {
    Transform(world, stored, point);
  }
}

}  // namespace

bool CameraAt(const ScenePose& pose, const SceneCamera& camera, double frame,
              SceneCamera& at) {
  const Keyframer& kf = pose.scene().keyframer;
  at = camera;
  if (camera.node >= 0) {
    const KeyframeNode& node = kf.nodes[camera.node];
    NodePoint(pose, camera.node, camera.position, at.position);
    TrackAt(kf.KeysOf(node.roll), frame, &camera.roll, &at.roll, 1);
    if (!node.fov.empty()) {
      float fov = 0;
      TrackAt(kf.KeysOf(node.fov), frame, &fov, &fov, 1);
      const double half = fov * kPi / 360;
      if (half > 0 && half < kPi / 2)
        at.lens = static_cast<float>(kHalfFilmWidth / std::tan(half));
    }
  }
  if (camera.targetnode >= 0)
    NodePoint(pose, camera.targetnode, camera.target, at.target);
  bool finite = std::isfinite(at.roll) && std::isfinite(at.lens);
  for (int k = 0; k < 3; ++k)
    finite =
        finite && std::isfinite(at.position[k]) && std::isfinite(at.target[k]);
  return finite;
}

namespace {

// A colour track's value at `frame`, each part from 0 to 1 (a spline can
// pass them); `colour` as it is without keys.
void ColourAt(const Keys& keys, double frame, float* colour) {
  if (keys.empty()) return;
  TrackAt(keys, frame, colour, colour, 3);
  for (int k = 0; k < 3; ++k)
    colour[k] =
        std::isnan(colour[k]) ? 0 : std::min(std::max(colour[k], 0.0f), 1.0f);
}

// An angle of a spot's cone at `frame`, from 0 to kWidestCone; as it is
// without keys, or where the track gives no finite number.
void ConeAt(const Keys& keys, double frame, float& angle) {
  float value = angle;
  TrackAt(keys, frame, &angle, &value, 1);
  if (std::isfinite(value))
    angle = std::min(std::max(value, 0.0f), kWidestCone);
}

}  // namespace

bool LightAt(const ScenePose& pose, const SceneLight& light, double frame,
             SceneLight& at) {
  const Keyframer& kf = pose.scene().keyframer;
  at = light;
  if (light.node >= 0) {
    const KeyframeNode& node = kf.nodes[light.node];
    const LightTracks tracks = kf.LightTracksOf(light.node);
    NodePoint(pose, light.node, light.position, at.position);
    ColourAt(kf.KeysOf(tracks.colour), frame, at.colour);
    if (light.kind == LightKind::kSpot) {
      ConeAt(kf.KeysOf(tracks.hotspot), frame, at.hotspot);
      ConeAt(kf.KeysOf(tracks.falloff), frame, at.falloff);
      at.hotspot = std::min(at.hotspot, at.falloff);
      float roll = light.roll;
      TrackAt(kf.KeysOf(node.roll), frame, &light.roll, &roll, 1);
      if (std::isfinite(roll) && std::fabs(roll) <= kFarthest) at.roll = roll;
    }
  }
  if (light.targetnode >= 0)
    NodePoint(pose, light.targetnode, light.target, at.target);
  return LightStandsSomewhere(at);
}

void AmbientAt(const Scene& scene, double frame, float colour[3]) {
  const AmbientLight& ambient = scene.environment.ambient;
  for (int k = 0; k < 3; ++k) colour[k] = ambient.colour[k];
  if (ambient.node < 0) return;
  const Keyframer& kf = scene.keyframer;
  ColourAt(kf.KeysOf(kf.LightTracksOf(ambient.node).colour), frame, colour);
}
