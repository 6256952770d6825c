#include "viewing_mode.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "controls.h"
#include "events.h"
#include "framing.h"
#include "image_files.h"
#include "import.h"
#include "platform.h"
#include "pose.h"
#include "scene_renderer.h"
#include "stop.h"

namespace {

// One file shown: its scene, how a person looks at it, and what draws it.
class ViewingMode {
 public:
  ViewingMode(const Options& options, GLenum opaquetextures, Messages& messages,
              InputFiles& inputs)
      : options_(options),
        layout_(ViewingLayout(opaquetextures)),
        messages_(messages),
        inputs_(inputs),
        renderer_(scene_) {
    window_.width = options.width;
    window_.height = options.height;
    window_.depthbits = 24;  // people come close to large models
    window_.resizable = true;
  }

  int Run() {
    LoadScene(options_.file, true, messages_, inputs_, scene_);
    CheckCamera();
    CheckTarget();
    StartView();
    std::string why;
    if (!OpenGlWindow(window_, why)) messages_.Fail(why);
    renderer_.SetUpState();
    LoadTextures(true);
    const bool shown = options_.screenshot.empty() ? Loop() : Screenshot();
    CloseGlWindow();
    return shown ? 0 : 1;
  }

 private:
  void CheckCamera() const {
    const int cameras = static_cast<int>(scene_.cameras.size());
    if (options_.camera > cameras)
      messages_.Fail(options_.file + ": --camera " +
                     std::to_string(options_.camera) + ": the file has " +
                     std::to_string(cameras) +
                     (cameras == 1 ? " camera" : " cameras") +
                     " that can be looked through");
  }

  void CheckTarget() const {
    std::string why;
    if (!options_.screenshot.empty() &&
        !inputs_.SafeTarget(options_.screenshot, why))
      messages_.Fail("cannot write the screenshot " + options_.screenshot +
                     ": " + why);
  }

  // The turntable framed on the whole animation, or the camera asked for.
  void StartView() {
    const Keyframer& kf = scene_.keyframer;
    startframe_ = options_.frame >= 0 ? options_.frame : kf.start;
    float low[3], high[3];
    if (kf.present && SceneBox(scene_, startframe_, true, low, high))
      framing_ = FrameBox(low, high);
    else
      framing_ = FrameBox(scene_.low, scene_.high);
    controls_ = StartControls(TurntableView(framing_),
                              static_cast<int>(scene_.cameras.size()),
                              options_.camera - 1);
  }

  // Into each new GL context; the warnings only the first time.
  void LoadTextures(bool warn) {
    std::vector<std::string> warnings;
    renderer_.textures().Load(scene_, options_.file, layout_, inputs_,
                              warnings);
    if (warn)
      for (const std::string& warning : warnings) messages_.Warn(warning);
  }

  // The scene posed at this frame, seen from the controls' view: the
  // turntable, a person's orbit, or a file's camera where it stands at this
  // frame (one that shows nothing then keeps the last view).
  FrameView Frame() {
    const double frame =
        AnimationFrame(scene_.keyframer, startframe_, controls_.animation);
    pose_.reset(new ScenePose(scene_, frame));
    SceneCamera camera;
    if (controls_.camera >= 0 &&
        CameraAt(scene_, scene_.cameras[controls_.camera], frame, camera))
      CameraView(camera, controls_.view);
    FrameView view;
    view.width = window_.width;
    view.height = window_.height;
    view.pose = pose_.get();
    view.view = ViewMatrix(controls_.view);
    Projection& p = view.projection;
    p.aspect = static_cast<double>(window_.width) / window_.height;
    p.fovy = VerticalFov(controls_.view, p.aspect);
    ClipPlanes(controls_.view, framing_.centre, framing_.radius, p.nearplane,
               p.farplane);
    view.wireframe = controls_.wireframe;
    return view;
  }

  bool Screenshot() {
    renderer_.Draw(Frame());
    const std::vector<unsigned char> pixels =
        ReadFrame(window_.width, window_.height);
    StopPoint();
    std::string why;
    if (WriteScreenshot(options_.screenshot, window_.width, window_.height,
                        pixels, inputs_, why))
      return true;
    messages_.Warn("cannot write the screenshot " + options_.screenshot + ": " +
                   why);
    return false;
  }

  void Follow(const FrameInput& in) {
    for (const Step& step : in.steps) {
      if (step.kind == Step::kCommand) Apply(controls_, step.command);
      if (step.kind == Step::kWheel) Wheel(controls_, step.notches);
      if (step.kind == Step::kTurn || step.kind == Step::kPan)
        Drag(controls_, step.dx, step.dy, step.kind == Step::kPan,
             window_.width, window_.height);
    }
  }

  // The window at the size asked for, within what it can be; in a new GL
  // context, the state and textures again.
  void Resize(int width, int height) {
    window_.width = std::min(std::max(width, kMinSide), kMaxSide);
    window_.height = std::min(std::max(height, kMinSide), kMaxSide);
    bool fresh = false;
    std::string why;
    if (!ResizeGlWindow(window_, fresh, why)) messages_.Fail(why);
    if (fresh) {
      renderer_.SetUpState();
      LoadTextures(false);
    }
  }

  // Frames while something moves or a person acts, at most about 60 a
  // second; nothing drawn, and the processor left alone, while the picture
  // stands. Ends on a person's word or a stop signal.
  bool Loop() {
    const Keyframer& kf = scene_.keyframer;
    const bool animated = kf.present && kf.end > kf.start;
    WindowEvents events;
    bool redraw = true;
    unsigned int last = Ticks();
    while (!controls_.quit && !StopRequested()) {
      const unsigned int start = Ticks();
      Advance(controls_, start - last);
      last = start;
      const FrameInput in = events.Take();
      Follow(in);
      if (in.resized) Resize(in.width, in.height);
      if (controls_.quit || StopRequested()) break;
      if (redraw || in.redraw || Moving(controls_, animated)) {
        renderer_.Draw(Frame());
        ShowFrame();
        redraw = false;
        PaceFrame(start);
      } else {
        events.WaitForEvents(StopRequested);
      }
    }
    return true;
  }

  const Options& options_;
  const TextureLayout layout_;
  Messages& messages_;
  InputFiles& inputs_;
  WindowSpec window_;
  Scene scene_;
  Framing framing_;
  Controls controls_;
  double startframe_ = 0;  // of the file's animation, at the first frame
  std::unique_ptr<ScenePose> pose_;  // the scene at this frame
  SceneRenderer renderer_;
};

}  // namespace

int RunViewingMode(const Options& options, GLenum opaquetextures,
                   Messages& messages, InputFiles& inputs) {
  ViewingMode mode(options, opaquetextures, messages, inputs);
  return mode.Run();
}
