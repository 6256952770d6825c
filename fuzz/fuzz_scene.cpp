// libFuzzer target: any bytes through the viewing mode's import, from the
// reader's buffer to the scene, its poses, its framing and --info. Traps when
// the scene breaks a promise that drawing relies on: a number that is not
// finite where something is drawn or told, or more work than the bytes may
// ask for.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "info/info.h"
#include "loader/3dsloader.h"
#include "scene/import.h"
#include "scene/pose.h"
#include "scene_check.h"
#include "view/framing.h"

namespace {

// What the scene may cost: its nodes and keys no more than their chunks'
// bytes allow, its placements within the drawing budget.
bool WithinBudget(const Scene& scene, size_t size) {
  const Keyframer& kf = scene.keyframer;
  unsigned long long cost = 0;
  for (const Placement& p : scene.placements)
    cost += scene.meshes[p.mesh].vertices.size() / 3 +
            DrawnFaces(scene.meshes[p.mesh]) + kPlacementCost;
  return kf.nodes.size() <= size / 6 && kf.keys.size() <= size / 6 &&
         kf.hides.size() <= size / 6 && cost <= kMaxDrawnVerticesAndFaces;
}

// Every placement shown at `frame` has a finite matrix.
bool FinitePose(const Scene& scene, double frame) {
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  PoseScene(scene, frame, matrices, shown);
  if (matrices.size() != scene.placements.size()) return false;
  for (size_t i = 0; i < matrices.size(); ++i)
    if (shown[i] && !Finite(matrices[i])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  Loader3DS loader;
  unsigned char* bytes = new unsigned char[size ? size : 1];
  std::memcpy(bytes, data, size);
  loader.TakeBytes(bytes, static_cast<unsigned int>(size));
  Scene scene;
  std::string why;
  const bool drawable = ImportScene(loader, scene, why);
  if (!SceneKeepsItsPromises(scene, drawable)) __builtin_trap();
  if (!WithinBudget(scene, size)) __builtin_trap();
  // The keyframer's pose, anywhere in and beyond the segment.
  for (double frame : {-1.0, 0.0, 0.5, 37.25, 1e9})
    if (!FinitePose(scene, frame)) __builtin_trap();
  if (drawable) {
    float low[3], high[3];
    if (SceneBox(scene, 0, true, low, high))
      for (int k = 0; k < 3; ++k)
        if (!std::isfinite(low[k]) || !std::isfinite(high[k])) __builtin_trap();
    // --info=json is one valid JSON document, whatever the names hold.
    const std::string info = InfoJson(
        scene, "f", -1, [](const std::string&) { return std::string(); });
    const nlohmann::json document = nlohmann::json::parse(info, nullptr, false);
    if (document.is_discarded() || !FiniteJson(document)) __builtin_trap();
  }
  const Framing f = FrameBox(scene.low, scene.high);
  if (!(f.nearplane > 0 && f.farplane > f.nearplane &&
        std::isfinite(f.farplane)))
    __builtin_trap();
  return 0;
}
