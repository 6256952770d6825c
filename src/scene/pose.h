// Where things are at a frame of the file's animation: the keyframer's
// nodes, each placement of a mesh, the cameras, and the box around what is
// shown.
#ifndef MODELVIEWER_POSE_H
#define MODELVIEWER_POSE_H

#include <vector>

#include "scene.h"

// The animation runs at this many frames a second.
const double kFramesPerSecond = 30;

// The frame `elapsed` milliseconds after `startframe`, looping over the
// file's segment.
double AnimationFrame(const Keyframer& keyframer, double startframe,
                      double elapsed);

// Each node's world matrix at `frame` (held before the first key and after
// the last), in node order, and whether it is shown (hide keys toggle).
void EvaluatePose(const Keyframer& keyframer, double frame,
                  std::vector<Matrix>& world, std::vector<bool>& shown);

// A position-like track's value at `frame` (3 floats; 1 for a field of view
// or a roll), or `otherwise` without keys.
void TrackAt(const std::vector<TrackKey>& keys, double frame,
             const float* otherwise, float* value, int count);

// Each placement's matrix at `frame`, and whether it is shown.
void PoseScene(const Scene& scene, double frame, std::vector<Matrix>& matrices,
               std::vector<bool>& shown);

// The box around every shown placement at `frame`, from the corners of its
// mesh's box; with `sweep`, around the whole segment, sampled at no more
// than kSweepSamples frames. False when nothing is shown.
const int kSweepSamples = 200;
bool SceneBox(const Scene& scene, double frame, bool sweep, float low[3],
              float high[3]);

// The camera at `frame`, moved by the keyframer's camera and target nodes of
// its name where the file animates it: position, target, roll, and the
// field of view as a lens on the film back.
SceneCamera CameraAt(const Scene& scene, const SceneCamera& camera,
                     double frame);

#endif
