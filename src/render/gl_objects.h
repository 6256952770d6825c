// The GL's objects of one context, in one owner: the shading programs,
// which serve every file drawn in the context, and the textures of the file
// drawn (vertex buffers, once there are any, belong here too). They are
// made whole in a context, and made whole again when the platform says that
// the context is new: the names from the old one went with it, and are
// dropped, not deleted.
#ifndef MODELVIEWER_GL_OBJECTS_H
#define MODELVIEWER_GL_OBJECTS_H

#include <string>

#include "render/shading.h"
#include "render/textures.h"

class GlObjects {
 public:
  // `noshaders`: the fixed-function path, whatever the GL has.
  explicit GlObjects(bool noshaders) : noshaders_(noshaders) {}
  GlObjects(const GlObjects&) = delete;
  GlObjects& operator=(const GlObjects&) = delete;
  // Frees them in the GL context current then.
  ~GlObjects() = default;

  // A new context is current: every object is to be made again in it.
  void NewContext();
  // The shading programs, tried once in each context: false, with the
  // reason, the time they are tried and cannot be.
  bool SetUpShading(std::string& why);

  ShadingProgram& shading() { return shading_; }
  SceneTextures& textures() { return textures_; }

 private:
  const bool noshaders_;
  bool tried_ = false;  // the shading programs, in this context
  ShadingProgram shading_;
  SceneTextures textures_;
};

#endif
