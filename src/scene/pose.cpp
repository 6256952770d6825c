#include "pose.h"

#include <algorithm>
#include <cmath>

#include "rotation.h"

namespace {

// The key at or before `frame` (0 before the first) and how far `frame`
// lies toward the next one.
size_t Segment(const std::vector<TrackKey>& keys, double frame, double& s) {
  auto after = std::upper_bound(
      keys.begin(), keys.end(), frame,
      [](double f, const TrackKey& key) { return f < key.frame; });
  size_t i = after == keys.begin() ? 0 : (after - keys.begin()) - 1;
  s = 0;
  if (frame > keys[i].frame && i + 1 < keys.size())
    s = (frame - keys[i].frame) / (keys[i + 1].frame - keys[i].frame);
  return i;
}

// Kochanek-Bartels tangents of key i: leaving it (out) and arriving (in).
void Tangents(const std::vector<TrackKey>& keys, size_t i, int k, double& out,
              double& in) {
  const TrackKey& key = keys[i];
  const double before = i > 0 ? key.value[k] - keys[i - 1].value[k] : 0;
  const double after =
      i + 1 < keys.size() ? keys[i + 1].value[k] - key.value[k] : 0;
  const double g1 = i > 0 ? before : after,
               g2 = i + 1 < keys.size() ? after : before;
  const double t = key.tension, c = key.continuity, b = key.bias;
  out = (1 - t) * ((1 - c) * (1 + b) * g1 + (1 + c) * (1 - b) * g2) / 2;
  in = (1 - t) * ((1 + c) * (1 + b) * g1 + (1 - c) * (1 - b) * g2) / 2;
}

// A Hermite spline through the keys, with their tangents.
void Interpolate(const std::vector<TrackKey>& keys, double frame,
                 const float* otherwise, float* v) {
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
Quaternion Orientation(const std::vector<TrackKey>& keys, double frame) {
  if (keys.empty()) return Quaternion();
  double s;
  const size_t i = Segment(keys, frame, s);
  if (s == 0) return Stored(keys[i]);
  return Slerp(Stored(keys[i]), Stored(keys[i + 1]), s);
}

// A node's own transform at `frame`: T(position) R(rotation) S(scale).
Matrix NodeMatrix(const KeyframeNode& node, double frame) {
  static const float kZero[3] = {0, 0, 0}, kOne[3] = {1, 1, 1};
  float position[3], scale[3];
  Interpolate(node.position, frame, kZero, position);
  Interpolate(node.scale, frame, kOne, scale);
  return Multiply(Multiply(Translation(position),
                           RotationMatrix(Orientation(node.rotation, frame))),
                  Scaling(scale));
}

// A node of the camera's name among `nodes`, or null.
const KeyframeNode* NodeNamed(const std::vector<KeyframeNode>& nodes,
                              const std::string& name) {
  for (const KeyframeNode& node : nodes)
    if (node.name == name) return &node;
  return nullptr;
}

}  // namespace

double AnimationFrame(const Keyframer& kf, double startframe, double elapsed) {
  double frame = startframe + elapsed * (kFramesPerSecond / 1000);
  const double span = kf.end - kf.start;
  if (frame > kf.end && span > 0)
    frame = kf.start + std::fmod(frame - kf.start, span);
  return frame;
}

void TrackAt(const std::vector<TrackKey>& keys, double frame,
             const float* otherwise, float* value, int count) {
  float v[3], other[3] = {0, 0, 0};
  for (int k = 0; k < count; ++k) other[k] = otherwise[k];
  Interpolate(keys, frame, other, v);
  for (int k = 0; k < count; ++k) value[k] = v[k];
}

void EvaluatePose(const Keyframer& kf, double frame, std::vector<Matrix>& world,
                  std::vector<bool>& shown) {
  world.assign(kf.nodes.size(), Identity());
  shown.assign(kf.nodes.size(), true);
  for (int n : kf.order) {
    const KeyframeNode& node = kf.nodes[n];
    const Matrix local = NodeMatrix(node, frame);
    world[n] = node.parent >= 0 ? Multiply(world[node.parent], local) : local;
    bool visible = true;
    for (const TrackKey& key : node.hide)
      if (key.frame <= frame) visible = !visible;
    shown[n] = visible && (node.parent < 0 || shown[node.parent]);
  }
}

void PoseScene(const Scene& scene, double frame, std::vector<Matrix>& matrices,
               std::vector<bool>& shown) {
  std::vector<Matrix> world;
  std::vector<bool> visible;
  EvaluatePose(scene.keyframer, frame, world, visible);
  matrices.resize(scene.placements.size());
  shown.assign(scene.placements.size(), true);
  for (size_t i = 0; i < scene.placements.size(); ++i) {
    const Placement& p = scene.placements[i];
    matrices[i] = p.node < 0 ? p.local : Multiply(world[p.node], p.local);
    if (p.node >= 0) shown[i] = visible[p.node];
  }
}

bool SceneBox(const Scene& scene, double frame, bool sweep, float low[3],
              float high[3]) {
  const Keyframer& kf = scene.keyframer;
  const double span = kf.end - kf.start;
  const int samples = sweep && span > 0 ? kSweepSamples : 1;
  bool bounded = false;
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  for (int s = 0; s < samples; ++s) {
    const double f = samples > 1 ? kf.start + span * s / (samples - 1) : frame;
    PoseScene(scene, f, matrices, shown);
    for (size_t i = 0; i < matrices.size(); ++i) {
      const SceneMesh& mesh = scene.meshes[scene.placements[i].mesh];
      if (!shown[i] || !mesh.bounded) continue;
      for (int corner = 0; corner < 8; ++corner) {
        const float p[3] = {corner & 1 ? mesh.high[0] : mesh.low[0],
                            corner & 2 ? mesh.high[1] : mesh.low[1],
                            corner & 4 ? mesh.high[2] : mesh.low[2]};
        float q[3];
        Transform(matrices[i], p, q);
        GrowBox(q, bounded, low, high);
      }
    }
  }
  return bounded;
}

SceneCamera CameraAt(const Scene& scene, const SceneCamera& camera,
                     double frame) {
  SceneCamera at = camera;
  if (const KeyframeNode* node =
          NodeNamed(scene.keyframer.cameras, camera.name)) {
    TrackAt(node->position, frame, camera.position, at.position, 3);
    TrackAt(node->roll, frame, &camera.roll, &at.roll, 1);
    if (!node->fov.empty()) {
      float fov = 0;
      TrackAt(node->fov, frame, &fov, &fov, 1);
      const double half = fov * kPi / 360;
      if (half > 0 && half < kPi / 2)
        at.lens = static_cast<float>(kHalfFilmWidth / std::tan(half));
    }
  }
  if (const KeyframeNode* node =
          NodeNamed(scene.keyframer.targets, camera.name))
    TrackAt(node->position, frame, camera.target, at.target, 3);
  return at;
}
