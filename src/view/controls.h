// What a person does to the viewing mode's picture, as plain state: the view,
// the spin, the animation's clock, the camera looked through, the wireframe
// and the look. The window's events are turned into these calls; no window is
// needed here.
#ifndef MODELVIEWER_CONTROLS_H
#define MODELVIEWER_CONTROLS_H

#include "view/view.h"

enum class Command {
  kNone,
  kQuit,
  kPause,       // pause, or start what is stopped
  kReset,       // back to the starting view and the first frame
  kNextCamera,  // the next of the file's cameras, then the turntable
  kWireframe,
  kLook,  // the file's look, or the studio's
  kZoomIn,
  kZoomOut,
  kTurnLeft,  // the model, 5 degrees the way the arrow points
  kTurnRight,
  kTurnUp,
  kTurnDown,
  // The viewing mode's own: the file shown, and the picture kept.
  kNextFile,
  kPreviousFile,
  kFirstFile,
  kLastFile,
  kScreenshot,
};

struct Controls {
  View turntable;        // the framing at spin angle 0
  int cameras = 0;       // the file's cameras that can be looked through
  int startcamera = -1;  // the one the run started in; -1: the turntable
  View view;             // what is shown
  int camera = -1;       // looked through now, moving with the animation
  int stepped = -1;      // the last one chosen; C goes on from it
  bool spinning = true;  // the turntable turns while not paused
  bool paused = false;   // spin and animation both stand still
  bool wireframe = false;
  bool filelook = false;  // the file's lights, background and fog
  bool quit = false;
  double animation = 0;  // milliseconds of animation since the first frame
};

// The controls at the start: in camera `startcamera` (-1: the turntable).
Controls StartControls(const View& turntable, int cameras, int startcamera);
void Apply(Controls& controls, Command command);
// A pointer moved `dx`, `dy` pixels (y down) with a button held: orbits, a
// window's width being a turn, or with `pan`, moves the view along.
void Drag(Controls& controls, double dx, double dy, bool pan, int width,
          int height);
// Wheel notches; positive: nearer.
void Wheel(Controls& controls, int notches);
// Time passes: the spin turns 12 degrees a second and the animation runs,
// unless paused.
void Advance(Controls& controls, unsigned long long milliseconds);
// Whether the picture changes without input: something turns, or the file
// is `animated` and the clock runs.
bool Moving(const Controls& controls, bool animated);

#endif
