// The view room: how a scene is looked at. The framing of what is drawn,
// the view and the person's controls that move it, and the spin. Plain
// maths over the scene room: no window, no OpenGL.
//
// This header: an eye that orbits a point it looks at, pans it and comes
// closer, or looks through one of the file's cameras.
#ifndef MODELVIEWER_VIEW_H
#define MODELVIEWER_VIEW_H

#include <vector>

#include "scene/cameras.h"
#include "scene/matrix.h"
#include "view/framing.h"

// The file's z axis is up. At yaw 0 the eye looks along +y; a larger yaw
// turns the model to the right, as the spin does.
struct View {
  double target[3] = {0, 0, 0};   // what the eye looks at and orbits about
  double distance = 1;            // from the eye to the target, above 0
  double yaw = 0;                 // degrees about the up axis
  double elevation = kElevation;  // degrees of the eye above the target
  double roll = 0;                // degrees the picture turns clockwise
  double fov = kFieldOfView;      // degrees across the window's narrower
  bool across = false;            // side, or across its width (a lens)
};

// The most a person can tilt the view up or down, in degrees.
const double kMaxElevation = 85;

// Looking at the framing's centre from above, at spin angle 0.
View TurntableView(const Framing& framing);
// Through `camera`: from its position at its target, turned by its roll,
// with the horizontal field of view of its lens on the film back,
// 2 atan(kHalfFilmWidth / lens). False when the camera shows nothing
// (CameraShowsSomething).
bool CameraView(const SceneCamera& camera, View& view);

// Turned `yaw` degrees from the front and `elevation` above it, aimed and
// at the distance where `points` (x, y, z each) fill `fill` of a square
// picture's field of view across its wider extent, centred in it; nothing
// of them outside it.
View TightView(const std::vector<float>& points, double yaw, double elevation,
               double fill);

// Turns the eye about the target: `yaw` degrees about the up axis and
// `elevation` degrees up, the elevation kept within +-kMaxElevation.
void Orbit(View& view, double yaw, double elevation);
// Each notch (positive: nearer) takes the eye 15 % of its distance nearer,
// or back out by the same factor; it never reaches the target.
void Zoom(View& view, int notches);
// Moves the target across the view so that what lies at its depth follows
// a pointer moved `dx`, `dy` pixels (y down) in a `width` x `height` window.
void Pan(View& view, double dx, double dy, int width, int height);

// The vertical field of view in degrees for a window of `aspect` (width /
// height).
double VerticalFov(const View& view, double aspect);
// Where the eye stands.
void EyeOf(const View& view, double eye[3]);
// The matrix from the file's coordinates to the eye's, for glLoadMatrixf.
Matrix ViewMatrix(const View& view);
// Clipping planes that hold the sphere of `radius` about `centre` as the eye
// sees it; the near one stays a little in front of the eye when the eye is
// inside it.
void ClipPlanes(const View& view, const float centre[3], double radius,
                double& nearplane, double& farplane);

#endif
