// How much of a picture a frame covers, and which placements it draws: the
// area drawn is bounded before anything is drawn, from each placement's box
// as the eye sees it, so that no file can ask the GL to fill the picture
// more than a fixed number of times over.
#ifndef MODELVIEWER_COVERAGE_H
#define MODELVIEWER_COVERAGE_H

#include <cstddef>
#include <vector>

#include "scene/matrix.h"
#include "scene/pose.h"
#include "scene/scene.h"

// How the eye sees: a vertical field of view in degrees, the picture's
// width over its height, and the clipping planes.
struct Projection {
  double fovy, aspect, nearplane, farplane;
};

// A picture of `width` x `height` pixels, seen through `projection` from
// `view` (the matrix from the file's coordinates to the eye's).
struct PictureView {
  int width, height;
  Matrix view;
  Projection projection;
};

// The pixels of the picture that the box from `low` to `high`, taken to the
// eye's coordinates by `toeye`, can cover: the rectangle around where its
// corners, and the points where its edges cross the near plane, fall,
// clipped to the picture. 0 for a box wholly nearer than the near plane.
double BoxPixels(const float low[3], const float high[3], const Matrix& toeye,
                 const PictureView& picture);

// How many times over the mesh's faces cover its box's outline, on average
// over the directions it can be seen from: twice their area over the box's
// surface (a closed convex mesh that fills its box: 2, its front and its
// back; one flat face filling a flat box: 1), at most its face count.
double Layers(const SceneMesh& mesh);

// The most pixels a frame may draw, as so many times the picture's: real
// models come to a few times (their fronts and their backs, where one part
// stands before another); past this, what is left is not drawn.
const double kMaxOverdraw = 16;

struct PlannedPlacement {
  size_t placement;
  size_t faces;       // drawn, in its groups' order: all, or those that fit
  double facepixels;  // the pixels it is taken to cover, a face
  // The same mesh at the same place as a placement drawn before it: only
  // its blended groups change the picture, and only they are drawn.
  bool copy;
};

struct FramePlan {
  std::vector<PlannedPlacement> placements;  // in the scene's order
  size_t leftout = 0;  // shown, but left out or drawn in part for area
};

// The placements that `pose` shows, as `picture` sees them, up to
// kMaxOverdraw times its pixels: in the scene's order, each whole until
// one would pass the bound; of that one the faces that fit, and none of the
// rest. An exact copy of a placement drawn before (same mesh, same matrix)
// costs nothing unless `blended[mesh]` says that it has blended groups.
FramePlan PlanFrame(const ScenePose& pose, const PictureView& picture,
                    const std::vector<bool>& blended);

#endif
