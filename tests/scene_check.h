// What drawing relies on in an imported scene, checked by the viewing
// import's fuzzer and by the replay of its kept inputs.
#ifndef MODELVIEWER_SCENE_CHECK_H
#define MODELVIEWER_SCENE_CHECK_H

#include <cmath>

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

// Every corner names a vertex of its mesh, every normal is finite and unit
// (none is zero: each vertex is drawn), coordinates are one pair per vertex
// or none, groups name known materials, there is something to draw exactly
// when the import says so, and the cameras give views.
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
  return CamerasGiveViews(scene);
}

#endif
