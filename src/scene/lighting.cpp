#include "scene/lighting.h"

#include <algorithm>
#include <cmath>
#include <utility>

float Brightness(const SceneLight& light) {
  const float luminance = 0.299f * light.colour[0] + 0.587f * light.colour[1] +
                          0.114f * light.colour[2];
  return luminance * std::fabs(light.multiplier);
}

FrameLighting LightingAt(const ScenePose& pose, double frame, size_t most) {
  FrameLighting lighting;
  const Scene& scene = pose.scene();
  AmbientAt(scene, frame, lighting.ambient);
  std::vector<SceneLight> on;
  for (const SceneLight& stored : scene.lights) {
    if (stored.off) continue;
    SceneLight at;
    if (LightAt(pose, stored, frame, at)) on.push_back(std::move(at));
  }
  lighting.on = on.size();
  if (on.size() > most) {
    // The brightest, by a sort that keeps the file's order among equals;
    // then back in the file's order.
    std::vector<size_t> order(on.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return Brightness(on[a]) > Brightness(on[b]);
    });
    order.resize(most);
    std::sort(order.begin(), order.end());
    std::vector<SceneLight> kept;
    for (size_t i : order) kept.push_back(std::move(on[i]));
    on.swap(kept);
  }
  lighting.lights = std::move(on);
  return lighting;
}
