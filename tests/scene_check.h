// What drawing relies on in an imported scene, checked by the viewing
// import's fuzzer and by the replay of its kept inputs.
#ifndef MODELVIEWER_SCENE_CHECK_H
#define MODELVIEWER_SCENE_CHECK_H

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "scene/import.h"
#include "scene/pose.h"
#include "view/framing.h"
#include "view/view.h"

inline bool Unit(const float* n) {
  const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  return std::fabs(length - 1.0f) < 1e-3f;
}

// Every camera kept gives, wherever the keyframer takes it, either no view
// or one that can be drawn: a finite matrix, and clipping planes in front
// of the eye and apart.
inline bool CamerasGiveViews(const Scene& scene) {
  const Framing f = FrameBox(scene.low, scene.high);
  for (const SceneCamera& camera : scene.cameras)
    for (double frame : {0.0, 37.25}) {
      View view;
      SceneCamera at;
      if (!CameraAt(ScenePose(scene, frame), camera, frame, at) ||
          !CameraView(at, view))
        continue;
      double nearplane, farplane;
      ClipPlanes(view, f.centre, f.radius, nearplane, farplane);
      if (!(nearplane > 0 && farplane > nearplane)) return false;
      for (float m : ViewMatrix(view))
        if (!std::isfinite(m)) return false;
    }
  return true;
}

inline bool Between(float v, double low, double high) {
  return v >= low && v <= high;  // false for NaN
}
inline bool Colour(const float* rgb) {
  return Between(rgb[0], 0, 1) && Between(rgb[1], 0, 1) &&
         Between(rgb[2], 0, 1);
}

// Every light, wherever the keyframer takes it, stands nowhere or has every
// number within the bounds that lights.h gives; so do the ambient light,
// background, fog and the maps' amounts.
inline bool LightingIsBounded(const Scene& scene) {
  for (const SceneLight& light : scene.lights)
    for (double frame : {0.0, 37.25}) {
      SceneLight at;
      if (!LightAt(ScenePose(scene, frame), light, frame, at)) continue;
      bool ok =
          Colour(at.colour) && Between(at.multiplier, -kFarthest, kFarthest) &&
          Between(at.inner, 0, kFarthest) && Between(at.outer, 0, kFarthest) &&
          Between(at.falloff, 0, kWidestCone) &&
          Between(at.hotspot, 0, at.falloff) &&
          Between(at.roll, -kFarthest, kFarthest);
      for (int k = 0; k < 3; ++k)
        ok = ok && Between(at.position[k], -kFarthest, kFarthest) &&
             Between(at.target[k], -kFarthest, kFarthest);
      if (!ok) return false;
    }
  const Environment& e = scene.environment;
  float ambient[3];
  AmbientAt(scene, 37.25, ambient);
  const Background& b = e.background;
  const Fog& f = e.fog;
  bool ok = Colour(ambient) && Colour(b.colour) && Colour(b.top) &&
            Colour(b.middle) && Colour(b.bottom) && Between(b.midpoint, 0, 1) &&
            Colour(f.colour) && Between(f.nearplane, 0, kFarthest) &&
            Between(f.farplane, 0, kFarthest) && Between(f.neardensity, 0, 1) &&
            Between(f.fardensity, 0, 1);
  for (const SceneMaterial& m : scene.materials)
    ok = ok && Between(m.bumpmap.amount, -kMostBump, kMostBump) &&
         Between(m.reflectionmap.amount, 0, 1) &&
         Between(m.texture.amount, 0, 1);
  return ok;
}

// Every corner names a vertex of its mesh, every normal is finite and unit
// (none is zero: each vertex is drawn), coordinates are one pair per vertex
// or none, groups name known materials, there is something to draw exactly
// when the import says so, the cameras give views and the lights are
// bounded.
inline bool SceneKeepsItsPromises(const Scene& scene, bool drawable) {
  if (drawable == scene.meshes.empty()) return false;
  for (const SceneMesh& mesh : scene.meshes) {
    const size_t vertices = mesh.vertices.size() / 3;
    if (mesh.normals.size() != 3 * vertices) return false;
    if (!mesh.coords.empty() && mesh.coords.size() != 2 * vertices)
      return false;
    for (size_t v = 0; v < vertices; ++v)
      if (!Unit(&mesh.normals[3 * v])) return false;
    for (const FaceGroup& group : mesh.groups) {
      if (group.material < -1 ||
          group.material >= static_cast<int>(scene.materials.size()) ||
          group.corners.empty() || group.corners.size() % 3 != 0)
        return false;
      for (unsigned int c : group.corners)
        if (c >= vertices) return false;
    }
  }
  return CamerasGiveViews(scene) && LightingIsBounded(scene);
}

// Every number of an --info=json document is finite: the writer turns the
// others into null, which only what may be missing may be: a map, its image
// or file, a box, the ambient light, a background or the fog, and what an
// omni light has not (a target, a cone, a roll).
inline bool FiniteJson(const nlohmann::json& value, const std::string& key = "",
                       bool omni = false) {
  static const char* const kMayBeMissing[] = {
      "texture",        "specular_map", "opacity_map", "bump_map",
      "reflection_map", "stored",       "file",        "box",
      "ambient",        "solid",        "gradient",    "fog"};
  static const char* const kNotOmni[] = {"target", "hotspot", "falloff",
                                         "roll"};
  if (value.is_null()) {
    for (const char* k : kMayBeMissing)
      if (key == k) return true;
    for (const char* k : kNotOmni)
      if (omni && key == k) return true;
    return false;
  }
  if (value.is_object()) {
    const bool isomni = value.contains("kind") && value["kind"] == "omni";
    for (auto it = value.begin(); it != value.end(); ++it)
      if (!FiniteJson(it.value(), it.key(), isomni)) return false;
  } else if (value.is_array()) {
    for (const auto& item : value)
      if (!FiniteJson(item)) return false;
  }
  return true;
}

#endif
