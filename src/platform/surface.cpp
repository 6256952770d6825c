#include "platform/surface.h"

#include <GL/gl.h>

#include "platform/libraries.h"
#include "platform/platform.h"

bool DrawingSurface::Open(const SurfaceFormat& format, std::string& why) {
  format_ = format;
  if (!RoomForGlContext(why)) return false;
  std::string eglwhy = "EGL is turned off (MODELVIEWER_NO_EGL=1)";
  if (!format.switches.noegl) {
    std::unique_ptr<Offscreen> offscreen(new Offscreen());
    CaughtErrors caught;
    const bool started = offscreen->Start(eglwhy);
    const std::string said = caught.Lines();
    if (!started && !said.empty()) eglwhy += " (" + said + ")";
    if (started) {
      // A picture the GL cannot hold fails here, not in a window.
      if (!offscreen->Size(format.width, format.height, format.depthbits,
                           format.samples, why))
        return false;
      offscreen_ = std::move(offscreen);
      return true;
    }
  }
  WindowFormat window;
  window.width = format.width;
  window.height = format.height;
  window.depthbits = format.depthbits;
  window.alphabits = format.alpha ? 8 : 0;
  window.samples = format.samples;
  window.forpicture = true;
  window.switches = format.switches;
  std::string windowwhy;
  if (!OpenGlWindow(window, windowwhy)) {
    why =
        "cannot draw offscreen: " + eglwhy + "; nor in a window: " + windowwhy;
    return false;
  }
  window_ = true;
  glViewport(0, 0, format.width, format.height);
  return true;
}

std::vector<unsigned char> DrawingSurface::Read(int width, int height) {
  if (offscreen_) return offscreen_->Read(format_.alpha, width, height);
  if (width <= 0 || width > format_.width) width = format_.width;
  if (height <= 0 || height > format_.height) height = format_.height;
  const int channels = format_.alpha ? 4 : 3;
  std::vector<unsigned char> pixels(static_cast<size_t>(channels) * width *
                                    height);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, format_.alpha ? GL_RGBA : GL_RGB,
               GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void DrawingSurface::Close() {
  offscreen_.reset();
  if (window_) CloseGlWindow();
  window_ = false;
}
