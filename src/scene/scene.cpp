#include "scene/scene.h"

#include <cmath>

void GrowBox(const float* p, bool& bounded, float* low, float* high) {
  if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
    return;
  for (int k = 0; k < 3; ++k) {
    if (!bounded || p[k] < low[k]) low[k] = p[k];
    if (!bounded || p[k] > high[k]) high[k] = p[k];
  }
  bounded = true;
}

void BoxCorner(const SceneMesh& mesh, int corner, float* p) {
  for (int k = 0; k < 3; ++k)
    p[k] = corner & (1 << k) ? mesh.high[k] : mesh.low[k];
}

size_t DrawnFaces(const SceneMesh& mesh) {
  size_t faces = 0;
  for (const FaceGroup& group : mesh.groups) faces += group.corners.size() / 3;
  return faces;
}

bool HasMaps(const SceneMaterial& m) {
  return !m.texture.image.empty() || !m.specularmap.image.empty() ||
         !m.opacitymap.image.empty() || !m.bumpmap.image.empty();
}

std::vector<bool> MaterialsWithTexture(const Scene& scene) {
  std::vector<bool> wanted(scene.materials.size(), false);
  for (const SceneMesh& mesh : scene.meshes)
    for (const FaceGroup& group : mesh.groups) {
      if (group.material < 0) continue;
      const SceneMaterial& m = scene.materials[group.material];
      if ((!mesh.coords.empty() && HasMaps(m)) ||
          !m.reflectionmap.image.empty())
        wanted[group.material] = true;
    }
  return wanted;
}

bool HasDrawnBumpsOrReflections(const Scene& scene) {
  for (const SceneMesh& mesh : scene.meshes)
    for (const FaceGroup& group : mesh.groups) {
      if (group.material < 0) continue;
      const SceneMaterial& m = scene.materials[group.material];
      if ((!mesh.coords.empty() && !m.bumpmap.image.empty()) ||
          !m.reflectionmap.image.empty())
        return true;
    }
  return false;
}
