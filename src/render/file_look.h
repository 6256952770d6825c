// What lights a frame and what stands behind it, in one of two looks. The
// studio look, for every file alike: two lights fixed to the eye and a dark
// grey background. The file's look: the file's lights where they are at
// the frame (lights.h, lighting.h), its ambient light, and its background
// and fog where its flags say to use them.
#ifndef MODELVIEWER_FILE_LOOK_H
#define MODELVIEWER_FILE_LOOK_H

#include <string>
#include <vector>

#include "render/render.h"
#include "render/shading.h"
#include "scene/pose.h"
#include "scene/scene.h"

// A dark neutral grey, against which both black and white materials show.
const GLfloat kBackground = 0.2f;

class FrameLook {
 public:
  explicit FrameLook(const Scene& scene) : scene_(scene) {}

  // The studio's lights, in the GL and in `shading`.
  void SetUpStudio(ShadingProgram& shading);
  // Clears the picture to what stands behind the model: the dark grey, or
  // in the file's look its background (black where it shows none), or
  // nothing where `transparent`.
  void Clear(bool filelook, bool transparent);
  // The lights (and fog) of the look for the frame that `pose` is at
  // (`frame`), given to the GL and to `shading`. The modelview matrix is
  // the view's.
  void Light(bool filelook, const ScenePose& pose, double frame,
             ShadingProgram& shading);
  // What the file's look has found worth a warning since last asked: each
  // thing once.
  std::vector<std::string> TakeWarnings();

 private:
  void DrawGradient(const Background& b);
  void UseFileLights(const ScenePose& pose, double frame,
                     FileLighting& lighting);
  void UseFog(FileLighting& lighting);

  const Scene& scene_;
  bool filelit_ = false;  // the GL holds the file's lights
  bool saidmany_ = false, saiddark_ = false;
  std::vector<std::string> warnings_;
};

#endif
