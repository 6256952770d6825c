// The scene as --info tells it at one frame, shared by its text and JSON
// forms: each shown placement's box, the cameras and lights that stand
// somewhere there, and what was left out.
#ifndef MODELVIEWER_POSED_H
#define MODELVIEWER_POSED_H

#include <string>
#include <vector>

#include "info/info.h"
#include "scene/pose.h"

struct InfoBox {
  bool bounded = false;
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  void Add(const float* p) { GrowBox(p, bounded, low, high); }
  void Add(const InfoBox& other) {
    if (other.bounded) Add(other.low), Add(other.high);
  }
};

// The scene posed at one frame, as --info tells it: each shown placement's
// box from its vertices as drawn, or, past the budget of vertices that
// drawing transforms, from its mesh box's corners.
class Posed {
 public:
  Posed(const Scene& scene, double frame);

  double frame() const { return frame_; }
  const ScenePose& pose() const { return pose_; }
  size_t drawn() const { return drawn_; }
  const InfoBox& all() const { return all_; }
  bool vertices() const { return vertices_; }
  bool Shown(size_t i) const { return shown_[i]; }
  std::vector<std::string>& warnings() { return warnings_; }
  const InfoBox& BoxOf(size_t i) const { return boxes_[i]; }
  const std::string& NameOf(size_t i) const {
    const Placement& p = scene_.placements[i];
    return p.node >= 0 ? scene_.keyframer.NameOf(scene_.keyframer.nodes[p.node])
                       : scene_.meshes[p.mesh].name;
  }
  const std::string& InstanceOf(size_t i) const {
    const Placement& p = scene_.placements[i];
    static const std::string kNone;
    return p.node >= 0
               ? scene_.keyframer.InstanceOf(scene_.keyframer.nodes[p.node])
               : kNone;
  }

 private:
  std::string Describe(size_t i) const {
    return "mesh \"" + scene_.meshes[scene_.placements[i].mesh].name +
           "\" placed by node \"" + NameOf(i) + "\"";
  }

  const Scene& scene_;
  double frame_;
  ScenePose pose_;
  bool vertices_ = true;
  std::vector<bool> shown_;
  std::vector<InfoBox> boxes_;
  size_t drawn_ = 0;
  InfoBox all_;
  std::vector<std::string> warnings_;
};

// What the boxes are taken from: "vertices" or "corners".
const char* BoxesFrom(const Posed& posed);

// The cameras that stand somewhere finite at the posed frame; the others
// give a warning among the pose's.
std::vector<SceneCamera> CamerasAt(Posed& posed);

// The lights that stand somewhere at the posed frame; the others give a
// warning among the pose's.
std::vector<SceneLight> LightsAt(Posed& posed);

// Whether the file has an ambient light: stored, or animated by its node.
bool HasAmbient(const Scene& scene);

// The frame asked for (-1: the segment's start), as the picture shows it.
double InfoFrame(const Scene& scene, long frame);

// The material's shading as --info names it: "wire", "flat", "gouraud",
// "phong" or "metal".
const char* ShadingName(const SceneMaterial& m);

// The output kept as a string.
class StringOutput : public InfoOutput {
 public:
  void Write(const std::string& text) override { text_ += text; }
  bool Failed() const override { return false; }
  std::string text_;
};

#endif
