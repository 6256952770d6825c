#include "info/posed.h"

#include "base/stop.h"

Posed::Posed(const Scene& scene, double frame)
    : scene_(scene), frame_(frame), pose_(scene, frame) {
  const PlacedPoints placed(pose_, kMaxDrawnVerticesAndFaces);
  vertices_ = placed.vertices();
  shown_.resize(scene.placements.size());
  boxes_.resize(scene.placements.size());
  Matrix matrix;
  std::vector<float> points;
  for (size_t i = 0; i < scene.placements.size(); ++i) {
    StopPointEvery(i);
    bool finite;
    shown_[i] = pose_.Place(i, matrix, &finite);
    if (!finite)
      warnings_.push_back(Describe(i) +
                          " is left out at this frame: its place is not a "
                          "finite number");
    if (!shown_[i]) continue;
    ++drawn_;
    points.clear();
    placed.Add(i, points);
    for (size_t p = 0; p + 2 < points.size(); p += 3) boxes_[i].Add(&points[p]);
    all_.Add(boxes_[i]);
  }
}

// What the boxes are taken from: "vertices" or "corners".
const char* BoxesFrom(const Posed& posed) {
  return posed.vertices() ? "vertices" : "corners";
}

std::vector<SceneCamera> CamerasAt(Posed& posed) {
  std::vector<SceneCamera> cameras;
  for (const SceneCamera& stored : posed.pose().scene().cameras) {
    SceneCamera at;
    if (CameraAt(posed.pose(), stored, posed.frame(), at))
      cameras.push_back(at);
    else
      posed.warnings().push_back(
          "camera \"" + stored.name +
          "\" is left out at this frame: a number of it is "
          "not finite");
  }
  return cameras;
}

std::vector<SceneLight> LightsAt(Posed& posed) {
  std::vector<SceneLight> lights;
  for (const SceneLight& stored : posed.pose().scene().lights) {
    SceneLight at;
    if (LightAt(posed.pose(), stored, posed.frame(), at))
      lights.push_back(at);
    else
      posed.warnings().push_back(
          "light \"" + stored.name +
          "\" is left out at this frame: its position or "
          "target is not finite or is beyond 1e30, or it is a "
          "spot that points at itself");
  }
  return lights;
}

// Whether the file has an ambient light: stored, or animated by its node.
bool HasAmbient(const Scene& scene) {
  const AmbientLight& ambient = scene.environment.ambient;
  return ambient.stored ||
         (ambient.node >= 0 &&
          !scene.keyframer.LightTracksOf(ambient.node).colour.empty());
}

// The frame asked for (-1: the segment's start), as the picture shows it.
double InfoFrame(const Scene& scene, long frame) {
  const Keyframer& kf = scene.keyframer;
  return AnimationFrame(kf, frame >= 0 ? frame : kf.start, 0);
}

const char* ShadingName(const SceneMaterial& m) {
  static const char* const kNames[] = {"wire", "flat", "gouraud", "phong",
                                       "metal"};
  return m.wire ? "wire" : kNames[static_cast<int>(m.shading)];
}
