#include "modes/window_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <vector>

#include "base/stop.h"
#include "images/image_files.h"
#include "images/png_writer.h"
#include "platform/platform.h"
#include "render/scene_renderer.h"

namespace {

// A file that changed is read again once it has been still this long, so
// that a tool writing it in many steps is read once, when it is done.
const unsigned int kSettleMs = 100;

// The file name of `path` without its extension.
std::string BareName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string name =
      slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The first of NAME-1.png, NAME-2.png and so on where nothing is, made
// there empty so that nothing else takes it. False, with the reason, when
// none can be made.
bool ReserveNumbered(const std::string& bare, std::string& path,
                     std::string& why) {
  for (int n = 1; n <= 100000; ++n) {
    path = bare + "-" + std::to_string(n) + ".png";
    const int fd = open(
        path.c_str(),
        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
    if (fd >= 0) {
      close(fd);
      return true;
    }
    if (errno != EEXIST) {
      why = std::strerror(errno);
      return false;
    }
  }
  why = "every name up to " + path + " is taken";
  return false;
}

LoadSettings SettingsOf(const Options& options, const TextureLayout& layout,
                        const Messages& messages, GlObjects* objects) {
  LoadSettings settings;
  settings.layout = layout;
  settings.messages = &messages;
  settings.objects = objects;
  settings.frame = options.frame;
  settings.camera = options.camera;
  return settings;
}

}  // namespace

WindowFiles::WindowFiles(const Options& options, const TextureLayout& layout,
                         const Messages& messages)
    : options_(options),
      messages_(messages),
      objects_(options.switches.noshaders),
      settings_(SettingsOf(options, layout, messages, &objects_)),
      loader_(settings_) {
  spare_.spinning = false;  // an empty window stands still
  spare_.filelook = options.look == Options::kFileLook;
}

WindowFiles::~WindowFiles() = default;

bool WindowFiles::Open(std::string& why) {
  std::vector<std::string> warnings;
  const bool any = collection_.Gather(options_.files, warnings);
  for (size_t i = 0; i < warnings.size(); ++i)
    if (any || i + 1 < warnings.size()) messages_.Warn(warnings[i]);
  if (!any) {
    why = warnings.empty() ? "no FILE" : warnings.back();
    return false;
  }
  // The first file that can be shown; none, and the run is refused.
  for (size_t i = 0; i < collection_.size(); ++i) {
    collection_.MoveTo(i);
    LoadOrder order;
    order.path = collection_.Current();
    order.position = i;
    LoadResult result = LoadNow(order, settings_);
    if (result.file) {
      shown_ = std::move(result.file);
      shownat_ = i;
      shown_->shown.controls().filelook = spare_.filelook;
      return true;
    }
    if (i + 1 == collection_.size()) {
      why = result.why;
      return false;
    }
    messages_.Warn(result.why);
  }
  return false;
}

void WindowFiles::NewContext() {
  objects_.NewContext();
  SetUpGl(true);
}

void WindowFiles::SetUpGl(bool again) {
  if (shown_) shown_->shown.SetUpGl(!again);
  if (again) return;
  SetTitle();
  WatchCurrent();
}

bool WindowFiles::Act(Command command) {
  Collection::Move move;
  switch (command) {
    case Command::kNextFile:
      move = Collection::Move::kNext;
      break;
    case Command::kPreviousFile:
      move = Collection::Move::kPrevious;
      break;
    case Command::kFirstFile:
      move = Collection::Move::kFirst;
      break;
    case Command::kLastFile:
      move = Collection::Move::kLast;
      break;
    case Command::kScreenshot:
      screenshot_ = true;
      return true;
    default:
      return false;
  }
  const size_t before = collection_.position();
  collection_.Step(move);
  if (collection_.position() == before) return true;
  SetTitle();  // at once, however long the file takes
  if (shown_ && collection_.position() == shownat_) {
    // Back to the file shown: what was asked for since is dropped.
    ++asked_;
    loading_ = false;
  } else {
    Ask(false);
  }
  WatchCurrent();
  return true;
}

void WindowFiles::Ask(bool reload) {
  LoadOrder order;
  order.path = collection_.Current();
  order.position = collection_.position();
  order.reload = reload;
  order.serial = ++asked_;
  loading_ = true;
  reloading_ = reload;
  changed_ = false;
  loader_.Ask(order);
}

bool WindowFiles::Update(unsigned int now) {
  bool changed = false;
  LoadResult result;
  if (loader_.Take(result) && loading_ && result.order.serial == asked_) {
    loading_ = false;
    if (result.file)
      Show(result);
    else
      Refuse(result);
    changed = true;
  }
  if (ReloadDue(now)) Ask(true);
  return changed;
}

bool WindowFiles::Waiting(unsigned int now) {
  return loader_.Ready() || ReloadDue(now);
}

bool WindowFiles::ReloadDue(unsigned int now) {
  if (watching_ && watch_.Changed()) {
    changed_ = true;
    changedat_ = now;
  }
  return changed_ && !loading_ && now - changedat_ >= kSettleMs;
}

// The file loaded takes the place of the one shown, which is freed first
// (its textures and GL objects with it). A file read again keeps the
// person's view; a new file starts from its own, with the person's
// wireframe, pause and look.
void WindowFiles::Show(LoadResult& result) {
  Controls& fresh = result.file->shown.controls();
  if (result.order.reload && shown_ && shownat_ == result.order.position) {
    Controls kept = shown_->shown.controls();
    kept.turntable = fresh.turntable;
    kept.cameras = fresh.cameras;
    kept.startcamera =
        fresh.startcamera < fresh.cameras ? fresh.startcamera : -1;
    if (kept.camera >= kept.cameras) kept.camera = -1;
    if (kept.stepped >= kept.cameras) kept.stepped = -1;
    fresh = kept;
  } else {
    fresh.wireframe = controls().wireframe;
    fresh.paused = controls().paused;
    fresh.filelook = controls().filelook;
  }
  shown_.reset();
  shown_ = std::move(result.file);
  shownat_ = result.order.position;
  shown_->shown.SetUpGl(true);
  SetTitle();
}

// A file that cannot be shown says why, on standard error and in the
// title. One read again keeps the picture shown; another leaves the window
// empty.
void WindowFiles::Refuse(const LoadResult& result) {
  messages_.Warn(result.why);
  if (!(result.order.reload && shown_ && shownat_ == result.order.position)) {
    spare_.wireframe = controls().wireframe;
    spare_.paused = controls().paused;
    spare_.filelook = controls().filelook;
    shown_.reset();
  }
  SetTitle(result.why);
}

void WindowFiles::SetTitle(const std::string& problem) {
  SetWindowTitle(collection_.Title(problem));
}

void WindowFiles::WatchCurrent() {
  if (!options_.watch) return;
  std::string why;
  watching_ = watch_.Watch(collection_.Current(), why);
  changed_ = false;
  if (!watching_)
    messages_.Warn("cannot watch " + collection_.Current() + ": " + why);
}

bool WindowFiles::Draw(int width, int height,
                       const std::function<bool()>& giveup) {
  if (shown_) {
    if (!shown_->shown.Draw(width, height, false, giveup)) return false;
  } else {
    glClearColor(kBackground, kBackground, kBackground, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  if (screenshot_) WriteScreenshot(width, height);
  screenshot_ = false;
  return true;
}

// The picture in the window, at its size, as NAME-N.png in the working
// directory: never over a file that is there, so never over an input.
void WindowFiles::WriteScreenshot(int width, int height) {
  std::vector<unsigned char> pixels(3 * static_cast<size_t>(width) * height);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  static const InputFiles kNone;
  const InputFiles& inputs = shown_ ? shown_->inputs : kNone;
  std::string path, why;
  if (!ReserveNumbered(BareName(collection_.Current()), path, why)) {
    messages_.Warn("cannot write a screenshot: " + why);
    return;
  }
  bool written = false;
  try {
    written =
        ::WriteScreenshot(path, width, height, pixels, false, inputs, why);
  } catch (const StopRequest&) {
    unlink(path.c_str());  // only the empty file made above
    throw;
  }
  if (!written) {
    unlink(path.c_str());
    messages_.Warn("cannot write the screenshot " + path + ": " + why);
  } else if (messages_.diagnostics()) {
    std::cout << "screenshot written to " << Printable(path) << std::endl;
  }
}
