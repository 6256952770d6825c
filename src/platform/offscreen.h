// Pictures drawn with no window at all: an OpenGL compatibility context
// through EGL (Mesa's surfaceless platform, else the first EGL device, else
// the default display), drawing into a framebuffer object of the picture's
// size. Needs no X server, no DISPLAY and no device node.
#ifndef MODELVIEWER_OFFSCREEN_H
#define MODELVIEWER_OFFSCREEN_H

#include <memory>
#include <string>
#include <vector>

struct FramebufferCalls;

class Offscreen {
 public:
  Offscreen();
  Offscreen(const Offscreen&) = delete;
  Offscreen& operator=(const Offscreen&) = delete;
  ~Offscreen();

  // Starts EGL and makes a desktop OpenGL compatibility context current.
  // False, with the reason.
  bool Start(std::string& why);
  // Colour (red, green, blue, alpha) and depth buffers (of `depthbits`, 16
  // or 24) of `width` x `height`, multisampled with up to `samples` where
  // more than 1, bound for drawing. False, with the reason, when the GL
  // refuses them.
  bool Size(int width, int height, int depthbits, int samples,
            std::string& why);
  // The picture drawn: red, green, blue (and alpha) bytes, bottom row first;
  // of its bottom left `width` x `height` where given.
  std::vector<unsigned char> Read(bool alpha, int width = 0, int height = 0);

 private:
  void Release();

  std::unique_ptr<FramebufferCalls> gl_;
  void* display_ = nullptr;
  void* context_ = nullptr;
  int width_ = 0, height_ = 0;
  unsigned int framebuffer_ = 0, colour_ = 0, depth_ = 0;
  // Where a multisampled picture is resolved before it is read.
  unsigned int resolved_ = 0, resolvedcolour_ = 0;
};

#endif
