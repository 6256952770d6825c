// One file as the viewing mode shows it: its scene, framed, how it is looked
// at, and the renderer that draws it. The interactive window and the
// pictures written to files both show a file through it.
#ifndef MODELVIEWER_SHOWN_FILE_H
#define MODELVIEWER_SHOWN_FILE_H

#include <functional>
#include <memory>
#include <string>

#include "base/input_files.h"
#include "base/messages.h"
#include "render/scene_renderer.h"
#include "scene/pose.h"
#include "view/controls.h"
#include "view/framing.h"

class ShownFile {
 public:
  // `objects`: the GL context's, as SceneRenderer takes them.
  ShownFile(const TextureLayout& layout, const Messages& messages,
            InputFiles& inputs, GlObjects& objects)
      : layout_(layout),
        messages_(messages),
        inputs_(inputs),
        objects_(objects) {}

  // Imports `file`, with its warnings; the model count line where asked.
  // False, with the reason, when the file is refused (with `whole`, also
  // when it is cut short).
  bool Load(const std::string& file, bool countline, std::string& why,
            bool whole = false);
  // The turntable framed on the whole animation from `frame` (-1: the start
  // of the segment), or looking through camera `camera` (from 1; 0: none).
  // False, with the reason, when the file has no such camera.
  bool Start(long frame, int camera, std::string& why);
  // The three-quarter view of a thumbnail at `frame` (-1: the first frame
  // of the segment that shows something; past its end, the frame that the
  // picture shows), the model filling the square picture.
  void StartThumbnail(long frame);
  // Into the GL context now current: the renderer's state, the shading
  // programs where the context has none yet, and the textures; their
  // warnings where `warn` asks.
  void SetUpGl(bool warn);
  // Draws the frame that the controls' clock is at into a `width` x
  // `height` picture (of a picture larger than the surface, the part whose
  // bottom left pixel is (`left`, `bottom`)); says once a file that
  // placements are left out of a frame for the area they would cover.
  // `giveup`, asked between slices of the GL's work, gives the frame up
  // where it says so: then false.
  bool Draw(int width, int height, bool transparent = false,
            const std::function<bool()>& giveup = {}, int left = 0,
            int bottom = 0);

  Controls& controls() { return controls_; }
  const Scene& scene() const { return scene_; }
  // Whether the picture moves by itself: the file is animated.
  bool Animated() const;

 private:
  FrameView Frame(int width, int height);
  // Once: the placements that the last frame's plan left out for their area.
  void SayLeftOutForArea();

  const TextureLayout layout_;
  const Messages& messages_;
  InputFiles& inputs_;
  std::string file_;
  Scene scene_;
  Framing framing_;
  Controls controls_;
  double startframe_ = 0;  // of the file's animation, at the first frame
  std::unique_ptr<ScenePose> pose_;  // the scene at this frame
  double poseframe_ = 0;             // the frame that pose_ is of
  GlObjects& objects_;
  std::unique_ptr<SceneRenderer> renderer_;
  bool saidarea_ = false;
};

#endif
