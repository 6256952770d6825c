#include "render/gl_objects.h"

void GlObjects::NewContext() {
  shading_.Forget();
  textures_.Forget();
  tried_ = false;
}

bool GlObjects::SetUpShading(std::string& why) {
  if (tried_) return true;
  tried_ = true;
  return shading_.Build(noshaders_, why);
}
