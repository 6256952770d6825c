#include "modes/shown_file.h"

#include <vector>

#include "scene/import.h"
#include "view/view.h"

namespace {

// A thumbnail's view: turned from the front, from above it, and what is
// drawn filling this much of the square.
const double kThumbnailYaw = 30, kThumbnailElevation = 25;
const double kThumbnailFill = 0.92;
// The most vertices that aim a thumbnail; past them, the meshes' boxes do.
const size_t kMostAimingPoints = 2000000;

}  // namespace

bool ShownFile::Load(const std::string& file, bool countline, std::string& why,
                     bool whole) {
  file_ = file;
  pose_.reset();
  return LoadScene(file, countline, messages_, inputs_, scene_, why, whole);
}

bool ShownFile::Start(long frame, int camera, std::string& why) {
  const int cameras = static_cast<int>(scene_.cameras.size());
  if (camera > cameras) {
    why = file_ + ": --camera " + std::to_string(camera) + ": the file has " +
          std::to_string(cameras) + (cameras == 1 ? " camera" : " cameras") +
          " that can be looked through";
    return false;
  }
  const Keyframer& kf = scene_.keyframer;
  startframe_ = frame >= 0 ? frame : kf.start;
  float low[3], high[3];
  if (kf.present && SceneBox(scene_, startframe_, true, low, high))
    framing_ = FrameBox(low, high);
  else
    framing_ = FrameBox(scene_.low, scene_.high);
  controls_ = StartControls(TurntableView(framing_), cameras, camera - 1);
  return true;
}

void ShownFile::StartThumbnail(long frame) {
  const Keyframer& kf = scene_.keyframer;
  // Without a frame asked for, a model hidden at the segment's start shows
  // where it first appears.
  startframe_ = frame >= 0 ? frame : FirstShownFrame(scene_);
  const std::vector<float> points = DrawnPoints(
      scene_, AnimationFrame(kf, startframe_, 0), kMostAimingPoints);
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  bool bounded = false;
  for (size_t i = 0; i + 2 < points.size(); i += 3)
    GrowBox(&points[i], bounded, low, high);
  framing_ = FrameBox(low, high);
  const View view =
      TightView(points, kThumbnailYaw, kThumbnailElevation, kThumbnailFill);
  controls_ = StartControls(view, 0, -1);
  controls_.spinning = false;
}

void ShownFile::SetUpGl(bool warn) {
  if (!renderer_) renderer_.reset(new SceneRenderer(scene_, objects_));
  renderer_->SetUpState();
  std::vector<std::string> warnings;
  if (!renderer_->ShaderWarning().empty())
    warnings.push_back(renderer_->ShaderWarning());
  if (!renderer_->MapsWarning().empty())
    warnings.push_back(file_ + ": " + renderer_->MapsWarning());
  renderer_->textures().Load(scene_, file_, layout_, inputs_, warnings);
  if (warn)
    for (const std::string& warning : warnings) messages_.Warn(warning);
}

bool ShownFile::Animated() const {
  const Keyframer& kf = scene_.keyframer;
  return kf.present && kf.end > kf.start;
}

// The scene posed at this frame, seen from the controls' view: the
// turntable, a person's orbit, or a file's camera where it stands at this
// frame (one that shows nothing then keeps the last view).
FrameView ShownFile::Frame(int width, int height) {
  const double frame =
      AnimationFrame(scene_.keyframer, startframe_, controls_.animation);
  // Tiles of one picture, and a paused animation, keep the frame's pose.
  if (!pose_ || frame != poseframe_) {
    pose_.reset(new ScenePose(scene_, frame));
    poseframe_ = frame;
  }
  SceneCamera camera;
  if (controls_.camera >= 0 &&
      CameraAt(*pose_, scene_.cameras[controls_.camera], frame, camera))
    CameraView(camera, controls_.view);
  FrameView view;
  view.width = width;
  view.height = height;
  view.pose = pose_.get();
  view.frame = frame;
  view.view = ViewMatrix(controls_.view);
  Projection& p = view.projection;
  p.aspect = static_cast<double>(width) / height;
  p.fovy = VerticalFov(controls_.view, p.aspect);
  ClipPlanes(controls_.view, framing_.centre, framing_.radius, p.nearplane,
             p.farplane);
  view.wireframe = controls_.wireframe;
  view.filelook = controls_.filelook;
  return view;
}

bool ShownFile::Draw(int width, int height, bool transparent,
                     const std::function<bool()>& giveup, int left,
                     int bottom) {
  FrameView view = Frame(width, height);
  view.transparent = transparent;
  view.giveup = giveup;
  view.left = left;
  view.bottom = bottom;
  bool whole;
  try {
    whole = renderer_->Draw(view);
  } catch (...) {  // a stop while drawing: what the plan left out is said
    SayLeftOutForArea();
    throw;
  }
  SayLeftOutForArea();
  for (const std::string& warning : renderer_->TakeLookWarnings())
    messages_.Warn(file_ + ": " + warning);
  return whole;
}

void ShownFile::SayLeftOutForArea() {
  if (renderer_->LeftOutForArea() == 0 || saidarea_) return;
  saidarea_ = true;
  messages_.Warn(file_ + ": " + std::to_string(renderer_->LeftOutForArea()) +
                 " placements are left out of the picture, or drawn in "
                 "part: together they would cover more than " +
                 std::to_string(static_cast<int>(kMaxOverdraw)) +
                 " times its pixels");
}
