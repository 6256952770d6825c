#include "scene/placement.h"

#include <initializer_list>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/stop.h"
#include "scene/keyframer.h"

namespace {

// Places meshes within the budget of drawn vertices and faces; past it,
// counts what it leaves out.
class Placer {
 public:
  explicit Placer(Scene& scene) : scene_(scene) {
    for (const SceneMesh& mesh : scene.meshes)
      costs_.push_back(mesh.vertices.size() / 3 + DrawnFaces(mesh) +
                       kPlacementCost);
  }

  bool Place(int mesh, int node) {
    const unsigned long long cost = costs_[mesh];
    if (cost > kMaxDrawnVerticesAndFaces - drawn_) {
      ++leftout_;
      return false;
    }
    drawn_ += cost;
    scene_.placements.push_back({mesh, node});
    return true;
  }

  void Warn() const {
    if (leftout_ > 0)
      scene_.warnings.push_back(
          std::to_string(leftout_) +
          " placements are left out: together with the others they would "
          "cost more to draw than " +
          std::to_string(kMaxDrawnVerticesAndFaces) + " vertices and faces");
  }

 private:
  Scene& scene_;
  std::vector<unsigned long long> costs_;  // of placing each mesh
  unsigned long long drawn_ = 0, leftout_ = 0;
};

// The first node of each name among the nodes of the given kinds.
std::unordered_map<std::string, int> FirstNodes(
    const Keyframer& kf, std::initializer_list<NodeKind> kinds) {
  std::unordered_map<std::string, int> first;
  for (size_t n = 0; n < kf.nodes.size(); ++n)
    for (NodeKind kind : kinds)
      if (kf.nodes[n].kind == kind)
        first.emplace(kf.NameOf(kf.nodes[n]), static_cast<int>(n));
  return first;
}

}  // namespace

void PlaceMeshes(Scene& scene) {
  const Keyframer& kf = scene.keyframer;
  std::unordered_map<std::string, std::vector<int>> byname;
  for (size_t m = 0; m < scene.meshes.size(); ++m)
    byname[scene.meshes[m].name].push_back(static_cast<int>(m));
  std::vector<bool> placed(scene.meshes.size(), false);
  bool unusable = false;
  Placer placer(scene);
  for (size_t n = 0; n < kf.nodes.size(); ++n) {
    StopPointEvery(n);
    const KeyframeNode& node = kf.nodes[n];
    if (node.kind != NodeKind::kObject || kf.NameOf(node) == kDummyNode)
      continue;
    auto named = byname.find(kf.NameOf(node));
    if (named == byname.end()) continue;
    for (int m : named->second) {
      placed[m] = true;
      if (placer.Place(m, static_cast<int>(n)))
        unusable = unusable || !scene.meshes[m].invertible;
    }
  }
  for (size_t m = 0; m < scene.meshes.size(); ++m)
    if (!placed[m]) placer.Place(static_cast<int>(m), -1);
  placer.Warn();
  if (unusable)
    scene.warnings.push_back(
        "a mesh that the keyframer places has no matrix (0x4160) that can be "
        "inverted; it is placed as stored");
}

void FindPosed(Scene& scene) {
  const Keyframer& kf = scene.keyframer;
  std::vector<bool> needed(kf.nodes.size(), false);
  auto need = [&](int node) {
    for (int n = node; n >= 0 && !needed[n]; n = kf.nodes[n].parent)
      needed[n] = true;
  };
  for (const Placement& p : scene.placements) need(p.node);
  for (const SceneCamera& camera : scene.cameras) {
    need(camera.node);
    need(camera.targetnode);
  }
  for (const SceneLight& light : scene.lights) {
    need(light.node);
    need(light.targetnode);
  }
  scene.slot.assign(kf.nodes.size(), -1);
  for (int n : kf.order)
    if (needed[n]) {
      scene.slot[n] = static_cast<int>(scene.posed.size());
      scene.posed.push_back(n);
    }
}

void LinkCameras(Scene& scene) {
  const Keyframer& kf = scene.keyframer;
  const auto cameras = FirstNodes(kf, {NodeKind::kCamera});
  const auto targets = FirstNodes(kf, {NodeKind::kTarget});
  for (SceneCamera& camera : scene.cameras) {
    auto node = cameras.find(camera.name);
    if (node != cameras.end()) camera.node = node->second;
    auto target = targets.find(camera.name);
    if (target != targets.end()) camera.targetnode = target->second;
  }
}

void LinkLights(Scene& scene) {
  const Keyframer& kf = scene.keyframer;
  const auto lights = FirstNodes(kf, {NodeKind::kOmni, NodeKind::kSpot});
  const auto targets = FirstNodes(kf, {NodeKind::kSpotTarget});
  int& ambient = scene.environment.ambient.node;
  for (size_t n = 0; n < kf.nodes.size() && ambient < 0; ++n)
    if (kf.nodes[n].kind == NodeKind::kAmbient) ambient = static_cast<int>(n);
  for (SceneLight& light : scene.lights) {
    auto node = lights.find(light.name);
    if (node != lights.end()) light.node = node->second;
    auto target = targets.find(light.name);
    if (target != targets.end() && light.kind == LightKind::kSpot)
      light.targetnode = target->second;
  }
}
