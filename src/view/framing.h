// Where the viewing mode's camera stands, from the box around the scene.
#ifndef MODELVIEWER_FRAMING_H
#define MODELVIEWER_FRAMING_H

// The turntable's field of view, across the window's narrower side, and how
// far above the centre the camera looks down from, so that a box shows its
// top as well as its front.
const double kFieldOfView = 45.0;
const double kElevation = 25.0;

// Clipping planes stand this many radii from the centre of what they hold,
// so that the sphere's nearest and farthest points are never clipped by
// rounding.
const double kClipMargin = 1.05;

struct Framing {
  float centre[3];   // the box's centre: what the camera looks at and the
                     // model spins about
  float radius;      // of the box's bounding sphere
  float distance;    // from the camera to the centre
  double nearplane;  // clipping planes just outside the sphere, so that
  double farplane;   // depth precision follows the scene's size
};

// The camera for the box from `low` to `high`: at the distance where the
// box's bounding sphere just fits the field of view. A box without extent,
// or with no finite size, is framed as a sphere of radius 1.
Framing FrameBox(const float low[3], const float high[3]);

#endif
