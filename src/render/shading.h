// The viewing mode's lighting, worked out at each pixel by a small GLSL
// program (GLSL 1.20, OpenGL 2.1): in the studio look, two lights fixed to
// the eye; in the file's look, the GL's first lights as the file's lights
// set them, with their cones and reach, and its fog. A viewer at the eye,
// highlights added after the texture, bump and reflection maps, each
// material lit by its own shading mode. Where the GL has no shaders, the
// fixed-function lights of OpenGL 1.1 stand in.
#ifndef MODELVIEWER_SHADING_H
#define MODELVIEWER_SHADING_H

#include <map>
#include <string>
#include <vector>

#include "render/render.h"
#include "scene/lighting.h"
#include "scene/materials.h"

// The texture unit of each of a material's maps, here and in the shading
// programs.
enum TextureUnit : int {
  kColourUnit = 0,
  kSpecularUnit = 1,
  kOpacityUnit = 2,
  kBumpUnit = 3,
  kReflectionUnit = 4
};

// What one draw call is lit and coloured by, beside the GL's own light,
// material and texture state.
struct Look {
  Shading shading = Shading::kPhong;
  bool textured = false, specularmapped = false, opacitymapped = false;
  bool alphasource = false;  // the opacity map's alpha, not its brightness
  bool cutout = false;       // alpha below one half is not drawn
  // A bump map (kBumpUnit): its texel's width and height in the map's
  // coordinates, how steep its bumps are, and whether it shows only once.
  bool bumpmapped = false, bumpuntiled = false;
  float bumptexel[2] = {0, 0}, bump = 0;
  // A reflection map (kReflectionUnit) and its amount.
  bool reflectionmapped = false;
  float reflection = 0;
};

// The file's look for the draw calls that follow: the GL's first `lights`
// lights shine, each limited to its cone and its reach; fog where asked.
struct FileLighting {
  bool on = false;  // otherwise the studio's two lights
  int lights = 0;   // from 1 to kMostLights where on
  // Each light's cosines of the hotspot's and the falloff's half angles
  // (-2 for an omni light), and the distances where its light starts to
  // fade and where none is left (kNoFade for a light that does not fade).
  float cones[kMostLights][4] = {};
  // The fog's near plane and its density there, its far plane and density.
  bool fog = false;
  float fogplanes[4] = {0, 0, 0, 0};
};
const float kNoFade = 1e30f;

class ShadingProgram {
 public:
  ShadingProgram() = default;
  ShadingProgram(const ShadingProgram&) = delete;
  ShadingProgram& operator=(const ShadingProgram&) = delete;
  ~ShadingProgram();

  // Compiles and links the first program in the GL context now current.
  // False, with the reason, where the GL has no shaders or refuses the
  // program, or `off` asks for the fixed-function path.
  bool Build(bool off, std::string& why);
  bool Ready() const { return ready_; }
  // The programs went with their GL context: their names are dropped, not
  // deleted, and Build is to be called again in the new one.
  void Forget();
  // Draws what follows with `look` (the program must be ready); `shiny`
  // where the material has highlights. Each look's program is made the
  // first time it is asked for. False where the GL refuses that program:
  // the fixed-function path is to draw, and TakeWarnings says why, once.
  bool Use(const Look& look, bool shiny);
  // Back to the fixed-function path.
  void Stop();
  // The studio's lights, or the file's, for what Use draws from now on.
  void SetLighting(const FileLighting& lighting);
  // Why a look's program was refused, the first time one was; once.
  std::vector<std::string> TakeWarnings();

 private:
  // A linked program (0: one the GL refused) and where its uniforms are.
  struct Program {
    unsigned int name = 0;
    int alphasource = -1, cones = -1, fog = -1;
    int bumping = -1, bumpuntiled = -1, reflection = -1;
    unsigned int lit = 0;  // the lighting it was last given
  };
  Program Made(unsigned int key, std::string& why) const;

  bool ready_ = false;
  std::map<unsigned int, Program> programs_;  // by look
  FileLighting lighting_;
  unsigned int lightingkey_ = 0;  // the bits of the key that lighting sets
  unsigned int lit_ = 1;          // counts the lightings set
  bool saidrefused_ = false;
  std::vector<std::string> warnings_;
};

#endif
