// The viewing mode's lighting, worked out at each pixel by a small GLSL
// program (GLSL 1.20, OpenGL 2.1): two lights fixed to the eye, a viewer
// at the eye, highlights added after the texture, each material lit by its
// own shading mode. Where the GL has no shaders, the fixed-function lights
// of OpenGL 1.1 stand in.
#ifndef MODELVIEWER_SHADING_H
#define MODELVIEWER_SHADING_H

#include <map>
#include <string>

#include "render/render.h"
#include "scene/materials.h"

// What one draw call is lit and coloured by, beside the GL's own light,
// material and texture state.
struct Look {
  Shading shading = Shading::kPhong;
  bool textured = false, specularmapped = false, opacitymapped = false;
  bool alphasource = false;  // the opacity map's alpha, not its brightness
  bool cutout = false;       // alpha below one half is not drawn
};

class ShadingProgram {
 public:
  ShadingProgram() = default;
  ShadingProgram(const ShadingProgram&) = delete;
  ShadingProgram& operator=(const ShadingProgram&) = delete;
  ~ShadingProgram();

  // Compiles and links the program in the GL context now current. False,
  // with the reason, where the GL has no shaders or refuses the program, or
  // MODELVIEWER_NO_SHADERS=1 asks for the fixed-function path.
  bool Build(std::string& why);
  bool Ready() const { return ready_; }
  // Whether Build was called: a GL without shaders is found, and said, once.
  bool Tried() const { return tried_; }
  // Draws what follows with `look` (the program must be ready); `shiny`
  // where the material has highlights. Each look's program is made the
  // first time it is asked for.
  void Use(const Look& look, bool shiny);
  // Back to the fixed-function path.
  void Stop();

 private:
  bool ready_ = false, tried_ = false;
  std::map<unsigned int, unsigned int> programs_;  // by look
};

#endif
