// Where things are at a frame of the file's animation: the keyframer's
// nodes, each placement of a mesh, the cameras, the lights, and the box
// around what is shown. Only what draws is posed: a node that places nothing
// costs nothing.
#ifndef MODELVIEWER_POSE_H
#define MODELVIEWER_POSE_H

#include <vector>

#include "scene/scene.h"

// The animation runs at this many frames a second.
const double kFramesPerSecond = 30;

// The frame `elapsed` milliseconds after `startframe`, looping over the
// file's segment: the frame that the picture shows.
double AnimationFrame(const Keyframer& keyframer, double startframe,
                      double elapsed);

// A position-like track's value at `frame` (3 floats; 1 for a field of view
// or a roll), or `otherwise` without keys.
void TrackAt(const Keys& keys, double frame, const float* otherwise,
             float* value, int count);

// The scene at one frame: the world matrix of each posed node, and whether
// it is shown. Placements take their matrices from it as they are drawn, so
// that a frame's memory follows its nodes, not its placements.
class ScenePose {
 public:
  ScenePose(const Scene& scene, double frame);
  // Placement i at this frame. False when it is not shown: hidden by its
  // node's hide keys (or an ancestor's), or with a matrix or a box that is
  // not finite (then `finite` is false too).
  bool Place(size_t i, Matrix& matrix, bool* finite = nullptr) const;
  // A posed node's world matrix; false for a node that is not posed.
  bool World(int node, Matrix& matrix) const;
  const Scene& scene() const { return scene_; }

 private:
  const Scene& scene_;
  std::vector<Matrix> world_;  // by slot
  std::vector<bool> shown_;
};

// Each placement's matrix at `frame`, and whether it is shown (as
// ScenePose::Place). Placements left out for a number that is not finite are
// added to `notfinite` where it is given.
void PoseScene(const Scene& scene, double frame, std::vector<Matrix>& matrices,
               std::vector<bool>& shown,
               std::vector<size_t>* notfinite = nullptr);

// The points that stand for what each placement shown at a pose draws, in
// the file's coordinates: every vertex, or, where the shown placements
// together draw more than `most` vertices, the eight corners of each one's
// mesh box, so that the work stays within that budget.
class PlacedPoints {
 public:
  PlacedPoints(const ScenePose& pose, size_t most);
  // Whether the points are the vertices (false: the boxes' corners).
  bool vertices() const { return vertices_; }
  // Appends placement i's points (x, y, z each), moved to where it is
  // drawn; false, with nothing appended, when it is not shown.
  bool Add(size_t i, std::vector<float>& points) const;

 private:
  const ScenePose& pose_;
  bool vertices_ = true;
};

// The eight corners of the mesh's box moved by `m`, x, y, z each: where a
// placement's box stands, for the framing, the drawing's bounds and --info.
void MovedBoxCorners(const SceneMesh& mesh, const Matrix& m,
                     float corners[8][3]);

// The points of every placement shown at `frame`, as PlacedPoints gives
// them.
std::vector<float> DrawnPoints(const Scene& scene, double frame, size_t most);

// The box around every shown placement at `frame`, from the corners of its
// mesh's box; with `sweep`, around the whole segment, sampled at no more
// than kSweepSamples frames, and fewer where the scene has so many
// placements that kSweepWork would be passed. False when nothing is shown.
const int kSweepSamples = 200;
const double kSweepWork = 5e6;  // placements posed, over all samples
bool SceneBox(const Scene& scene, double frame, bool sweep, float low[3],
              float high[3]);

// The first frame of the segment at which some placement is shown, sampled
// as SceneBox samples the sweep: the segment's start where something shows
// there, and also where nothing shows at any sample.
double FirstShownFrame(const Scene& scene);

// The camera at the pose's frame `frame`, moved by its keyframer nodes where
// the file animates it: position and target where their nodes stand (with
// their parents), roll, and the field of view as a lens on the film back.
// False when a number of it is not finite there.
bool CameraAt(const ScenePose& pose, const SceneCamera& camera, double frame,
              SceneCamera& at);

// The light at the pose's frame `frame`, moved by its keyframer nodes where
// the file animates it: position and a spot's target where their nodes
// stand (with their parents), its colour, and a spot's hotspot, falloff and
// roll from its node's tracks, bounded as SceneLight says. False when it
// stands nowhere there (LightStandsSomewhere).
bool LightAt(const ScenePose& pose, const SceneLight& light, double frame,
             SceneLight& at);

// The ambient light's colour at `frame`, from the ambient node's colour
// track where it has one.
void AmbientAt(const Scene& scene, double frame, float colour[3]);

#endif
