#include "view/controls.h"

#include <cmath>

#include "view/spin.h"

namespace {

const double kStep = 5;  // degrees an arrow key turns the model

// A person takes the view over: it leaves the camera it followed, and the
// turntable stops.
void TakeOver(Controls& c) {
  c.camera = -1;
  c.spinning = false;
}

void LookThrough(Controls& c, int camera) {
  c.stepped = camera;
  c.camera = camera;
  c.spinning = camera < 0;
  if (camera < 0) c.view = c.turntable;
}

}  // namespace

Controls StartControls(const View& turntable, int cameras, int startcamera) {
  Controls c;
  c.turntable = c.view = turntable;
  c.cameras = cameras;
  c.startcamera = startcamera;
  LookThrough(c, startcamera);
  return c;
}

void Apply(Controls& c, Command command) {
  switch (command) {
    case Command::kNone:
    case Command::kNextFile:  // the viewing mode's, not the view's
    case Command::kPreviousFile:
    case Command::kFirstFile:
    case Command::kLastFile:
    case Command::kScreenshot:
      break;
    case Command::kQuit:
      c.quit = true;
      break;
    case Command::kPause:
      if (c.paused) {
        c.paused = false;
        c.spinning = c.spinning || c.camera < 0;
      } else if (!c.spinning && c.camera < 0) {
        c.spinning = true;  // after a drag: the turntable turns again
      } else {
        c.paused = true;
      }
      break;
    case Command::kReset:
      c.view = c.turntable;
      LookThrough(c, c.startcamera);
      c.animation = 0;
      break;
    case Command::kNextCamera:
      if (c.cameras > 0)
        LookThrough(c, c.stepped + 1 < c.cameras ? c.stepped + 1 : -1);
      break;
    case Command::kWireframe:
      c.wireframe = !c.wireframe;
      break;
    case Command::kLook:
      c.filelook = !c.filelook;
      break;
    case Command::kZoomIn:
    case Command::kZoomOut:
      Wheel(c, command == Command::kZoomIn ? 1 : -1);
      break;
    case Command::kTurnLeft:
    case Command::kTurnRight:
      TakeOver(c);
      Orbit(c.view, command == Command::kTurnLeft ? -kStep : kStep, 0);
      break;
    case Command::kTurnUp:
    case Command::kTurnDown:
      TakeOver(c);
      Orbit(c.view, 0, command == Command::kTurnUp ? -kStep : kStep);
      break;
  }
}

void Drag(Controls& c, double dx, double dy, bool pan, int width, int height) {
  if (width <= 0 || height <= 0) return;
  TakeOver(c);
  if (pan) {
    Pan(c.view, dx, dy, width, height);
  } else {
    const double degrees = 360.0 / width;
    Orbit(c.view, dx * degrees, dy * degrees);
  }
}

void Wheel(Controls& c, int notches) {
  // Nearer along the camera's own line of sight, then free of it.
  c.camera = -1;
  Zoom(c.view, notches);
}

void Advance(Controls& c, unsigned long long milliseconds) {
  if (c.paused) return;
  c.animation += milliseconds;
  if (c.spinning && c.camera < 0)
    c.view.yaw = std::fmod(c.view.yaw + TimedAngle(milliseconds), 360.0);
}

bool Moving(const Controls& c, bool animated) {
  return !c.paused && ((c.spinning && c.camera < 0) || animated);
}
