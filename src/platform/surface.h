// Where pictures are drawn to be written (a screenshot, a thumbnail, a
// folder of them): offscreen through EGL, with no display at all; where EGL
// cannot start, an X window as the programs always had. The renderer draws
// into whichever is current and does not know which.
#ifndef MODELVIEWER_SURFACE_H
#define MODELVIEWER_SURFACE_H

#include <memory>
#include <string>
#include <vector>

#include "base/options.h"
#include "platform/offscreen.h"

// What a drawing surface needs.
struct SurfaceFormat {
  int width = 800, height = 600;
  int depthbits = 24;  // 16 or 24
  bool alpha = false;  // an alpha channel, read back with the picture
  int samples = 0;     // multisampling, where more than 1
  Switches switches;   // the environment's: noegl, and a window's
};

class DrawingSurface {
 public:
  // Opens the surface and makes its GL context current, once
  // RoomForGlContext agrees. Both ways tried and failed give one line with
  // both reasons. The noegl switch (MODELVIEWER_NO_EGL=1) skips EGL (to
  // compare the two, or to get around a broken EGL).
  bool Open(const SurfaceFormat& format, std::string& why);
  // The picture just drawn: red, green, blue (and alpha, where the format
  // asks for it) bytes, bottom row first; of its bottom left `width` x
  // `height` where given.
  std::vector<unsigned char> Read(int width = 0, int height = 0);
  bool offscreen() const { return offscreen_ != nullptr; }
  // Ends the context (and the window).
  void Close();

 private:
  SurfaceFormat format_;
  std::unique_ptr<Offscreen> offscreen_;
  bool window_ = false;
};

#endif
