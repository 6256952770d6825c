// Draws a posed scene (scene.h, pose.h) the way the viewing mode shows it:
// each material group of each placed mesh in one call with vertex arrays,
// in the studio look or the file's own (file_look.h), the transparent
// groups last; the placements that a frame draws bounded by the area they
// cover (coverage.h). A software GL does its work when it is waited for, so
// the renderer waits for it in slices of bounded work, and between them
// looks whether the run is to stop or the frame to be given up.
#ifndef MODELVIEWER_SCENE_RENDERER_H
#define MODELVIEWER_SCENE_RENDERER_H

#include <functional>
#include <string>
#include <vector>

#include "render/file_look.h"
#include "render/gl_objects.h"
#include "render/render.h"
#include "render/shading.h"
#include "render/textures.h"
#include "scene/pose.h"
#include "scene/scene.h"
#include "view/coverage.h"

// One frame's pose and view: where each placement is and whether it is
// shown, and the matrix from the file's coordinates to the eye's.
struct FrameView {
  int width, height;  // of the picture, in pixels
  // The picture's pixel at the surface's bottom left corner: past 0 where
  // the surface holds one tile of a larger picture.
  int left = 0, bottom = 0;
  const ScenePose* pose;
  double frame = 0;  // the frame that `pose` is at
  Matrix view;
  Projection projection;
  bool wireframe;
  bool filelook = false;  // the file's lights, background and fog
  // Nothing behind the model: alpha 0 where nothing is drawn, and colours
  // premultiplied by their alpha, as blending leaves them.
  bool transparent = false;
  // Asked between slices of the GL's work, once the run is not to stop:
  // true gives the frame up (a person quit the window, say).
  std::function<bool()> giveup;
};

class SceneRenderer {
 public:
  // `objects`: the GL context's objects, which outlive the renderer; their
  // shading programs serve every renderer in the context, so that they are
  // made once for a folder of files, and their textures are the scene's.
  SceneRenderer(const Scene& scene, GlObjects& objects)
      : scene_(scene),
        objects_(objects),
        textures_(objects.textures()),
        shading_(objects.shading()),
        look_(scene) {}

  SceneTextures& textures() { return textures_; }

  // The GL state this renderer draws with, once in each GL context: the
  // studio's lights, colours from the materials, vertex arrays, and the
  // shading programs (made whole by the context's objects).
  void SetUpState();
  // Why faces are lit per vertex by OpenGL 1.1 instead of per pixel, or ""
  // where the shading program draws.
  const std::string& ShaderWarning() const { return shaderwarning_; }
  // That the file's bump and reflection maps are not drawn, lit per vertex;
  // "" where they are drawn or it has none.
  const std::string& MapsWarning() const { return mapswarning_; }
  // Clears and draws one frame; the caller shows it. False where the frame
  // was given up, unfinished. Throws StopRequest where the run is to stop.
  bool Draw(const FrameView& frame);
  // The placements that the last frame left out, or drew in part, for the
  // area they would cover.
  size_t LeftOutForArea() const { return leftout_; }
  // What the file's look, or a shading program refused, found worth a
  // warning since last asked, once each.
  std::vector<std::string> TakeLookWarnings();

 private:
  struct Later {
    float depth;
    size_t planned, group;
    size_t faces;  // of the group drawn
  };
  struct GivenUp {};

  bool Cutout(int material, bool hascoords) const;
  bool Transparent(int material, bool hascoords) const;
  void UseMaterial(int material, bool hascoords, bool wireframe);
  void UseBumpsAndReflections(int material, bool hascoords, Look& look);
  void SetColours(const SceneMaterial& m, bool textured);
  std::vector<bool> BlendedMeshes() const;
  const SceneMesh& Enter(size_t i, const Matrix& matrix);
  void Leave();
  void DrawGroup(const SceneMesh& mesh, const FaceGroup& group, size_t faces,
                 double facepixels, const FrameView& frame);
  void Queue(size_t faces, double pixels, const FrameView& frame);
  std::vector<Later> DrawOpaque(const FrameView& frame, const FramePlan& plan);
  void DrawTransparent(const FrameView& frame, const FramePlan& plan,
                       std::vector<Later>& later);
  void EndFrame();

  const Scene& scene_;
  GlObjects& objects_;
  SceneTextures& textures_;
  ShadingProgram& shading_;
  FrameLook look_;
  std::string shaderwarning_, mapswarning_;
  // The work given to the GL since it was last waited for.
  double queuedwork_ = 0, queuedpixels_ = 0;
  int samples_ = 1;       // of each pixel of the picture drawn
  bool entered_ = false;  // a placement's matrix is pushed
  size_t leftout_ = 0;
};

#endif
