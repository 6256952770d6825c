#include "modes/picture_mode.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "base/stop.h"
#include "images/image_files.h"
#include "modes/shown_file.h"
#include "platform/surface.h"
#include "scene/import.h"

namespace {

// A thumbnail's edges are smoothed: drawn this many times larger and
// scaled down, which costs no more than multisampling; past the sizes where
// that would take too much memory, multisampled.
int ScaleOf(int side) { return side <= 2048 ? 2 : 1; }
const int kThumbnailSamples = 4;

// A picture as it is drawn (`drawn`), and how many times smaller it is
// written.
struct PictureSize {
  SurfaceFormat drawn;
  int scale = 1;
};

PictureSize SizeOf(const Options& options) {
  PictureSize size;
  SurfaceFormat& format = size.drawn;
  format.alpha = options.thumbnail > 0;
  if (!options.thumbnail) {
    format.width = options.width;
    format.height = options.height;
    return size;
  }
  size.scale = ScaleOf(options.thumbnail);
  format.width = format.height = size.scale * options.thumbnail;
  format.samples = size.scale == 1 ? kThumbnailSamples : 0;
  return size;
}

// Colours as PNG keeps them: not premultiplied by their alpha.
void Unpremultiply(std::vector<unsigned char>& rgba) {
  for (size_t p = 0; p + 3 < rgba.size(); p += 4) {
    const unsigned int a = rgba[p + 3];
    if (a == 0 || a == 255) continue;
    for (int k = 0; k < 3; ++k)
      rgba[p + k] = static_cast<unsigned char>(
          std::min(255u, (rgba[p + k] * 255u + a / 2) / a));
  }
}

// Reads the file and frames the frame asked for, or its thumbnail (through
// the camera asked for, the square that it sees); false, with the reason,
// when it is refused.
bool Prepare(const Options& options, const std::string& file, ShownFile& shown,
             bool countline, std::string& why) {
  // No thumbnail of a file cut short: a file manager then keeps its own
  // icon for a file that is broken.
  if (!shown.Load(file, countline, why, options.thumbnail > 0)) return false;
  if (!options.thumbnail || options.camera)
    return shown.Start(options.frame, options.camera, why);
  shown.StartThumbnail(options.frame);
  return true;
}

// A picture read back from the surface, as it was drawn.
struct DrawnPicture {
  std::string path;  // where it is to be written
  std::vector<unsigned char> pixels;
};

// Draws the file into the surface. The GL may still be drawing when this
// returns.
void DrawPicture(ShownFile& shown, const PictureSize& size) {
  const SurfaceFormat& format = size.drawn;
  shown.SetUpGl(true);
  shown.Draw(format.width, format.height, format.alpha);
  glFlush();
}

// Scales the picture down to its size and writes it; false, with the
// reason, when it cannot be written.
bool WritePicture(const DrawnPicture& picture, const PictureSize& size,
                  InputFiles& inputs, std::string& why, int* error = nullptr) {
  const SurfaceFormat& format = size.drawn;
  const int channels = format.alpha ? 4 : 3;
  std::vector<unsigned char> pixels =
      size.scale > 1 ? ShrinkBy(picture.pixels, format.width, format.height,
                                channels, size.scale)
                     : picture.pixels;
  if (format.alpha) Unpremultiply(pixels);
  if (WriteScreenshot(picture.path, format.width / size.scale,
                      format.height / size.scale, pixels, format.alpha, inputs,
                      why, error))
    return true;
  why = "cannot write the screenshot " + picture.path + ": " + why;
  return false;
}

bool DrawAndWrite(ShownFile& shown, DrawingSurface& surface,
                  const PictureSize& size, const std::string& path,
                  InputFiles& inputs, std::string& why) {
  DrawPicture(shown, size);
  const DrawnPicture picture{path, surface.Read()};
  StopPoint();
  return WritePicture(picture, size, inputs, why);
}

// Whether a write that failed with `error` would fail for any picture in
// the same folder: the disk is full or read-only, the folder is gone or
// closed to the run, or the pictures pass the run's file-size limit.
bool NoPictureFits(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case EFBIG:
    case EIO:
    case EACCES:
    case EPERM:
    case ENOENT:
      return true;
    default:
      return false;
  }
}

// The file name of `file`, and that name without its extension.
void NamesOf(const std::string& file, std::string& name, std::string& bare) {
  const size_t slash = file.rfind('/');
  name = slash == std::string::npos ? file : file.substr(slash + 1);
  const size_t dot = name.rfind('.');
  bare = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The width of the terminal on standard error, in columns; 0 when unknown.
size_t TerminalWidth() {
  winsize size;
  return ioctl(2, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// A folder of pictures: DIR/NAME.png for each FILE, in one process with one
// GL context, each file imported, drawn and freed before the next. Each
// picture is written while the GL draws the next file's, so that neither
// waits for the other. No picture replaces a FILE, or an image that one of
// them uses: all of them are known before the first picture is written.
class Folder {
 public:
  Folder(const Options& options, const TextureLayout& layout,
         const Messages& messages, InputFiles& inputs)
      : options_(options),
        layout_(layout),
        messages_(messages),
        inputs_(inputs),
        size_(SizeOf(options)),
        progress_(messages.diagnostics() && isatty(2)) {}

  int Run() {
    std::string why;
    if (!MakeFolder(why) || !surface_.Open(size_.drawn, why))
      messages_.Fail(why);
    start_ = std::chrono::steady_clock::now();
    try {
      for (const std::string& file : options_.files) {
        StopPoint();
        NoteFilesRead(file, inputs_);
      }
      for (size_t i = 0; i < options_.files.size() && !shut_; ++i) One(i);
      WritePending();
    } catch (const StopRequest&) {
      stopped_ = true;
    }
    surface_.Close();
    Summary();
    return refused_ > 0 || stopped_ || shut_ ? 1 : 0;
  }

 private:
  bool MakeFolder(std::string& why) {
    const std::string& dir = options_.screenshot;
    struct stat info;
    if (stat(dir.c_str(), &info) != 0 && mkdir(dir.c_str(), 0777) != 0)
      why = std::strerror(errno);
    else if (access(dir.c_str(), W_OK | X_OK) != 0)
      why = std::strerror(errno);
    else
      return true;
    why = "cannot write pictures into " + dir + ": " + why;
    return false;
  }

  // Where file i's picture goes: NAME.png, or where an earlier picture or
  // an input of the run takes that, the name with its extension, then with
  // -2, -3 and so on. Once an input takes the name, one line says so.
  std::string TargetOf(size_t i) {
    std::string name, bare;
    NamesOf(options_.files[i], name, bare);
    const std::string& dir = options_.screenshot;
    const std::string folder = dir + (dir.back() == '/' ? "" : "/");
    std::string path, input, first;
    for (int n = 1;; ++n) {
      const std::string picture =
          n == 1 ? bare + ".png"
                 : name + (n == 2 ? "" : "-" + std::to_string(n - 1)) + ".png";
      if (!taken_.insert(picture).second) continue;
      path = folder + picture;
      if (!inputs_.Holds(path, input)) break;
      if (first.empty())
        first = path + (input == path ? "" : " (as " + input + ")");
    }
    if (!first.empty())
      messages_.Warn("the picture of " + options_.files[i] + " is " + path +
                     ": this run reads " + first);
    return path;
  }

  void One(size_t i) {
    StopPoint();
    const std::string& file = options_.files[i];
    Progress(i, file);
    std::string why;
    ShownFile shown(layout_, messages_, inputs_, &shading_);
    if (!Prepare(options_, file, shown, false, why)) {
      Refuse(why);
      return;
    }
    DrawPicture(shown, size_);
    WritePending();
    if (shut_) return;
    pending_.path = TargetOf(i);
    pending_.pixels = surface_.Read();
  }

  // The picture drawn last, written; none is left pending. A folder that
  // takes no more pictures ends the run.
  void WritePending() {
    if (pending_.path.empty()) return;
    std::string why;
    int error = 0;
    const bool written = WritePicture(pending_, size_, inputs_, why, &error);
    pending_.path.clear();
    if (written) {
      ++written_;
    } else if (NoPictureFits(error)) {
      Refuse("cannot write pictures into " + options_.screenshot + ": " +
             std::strerror(error));
      shut_ = true;
    } else {
      Refuse(why);
    }
  }

  void Refuse(const std::string& why) {
    messages_.Warn(why);
    ++refused_;
  }

  // One line on the terminal, drawn again for each file.
  void Progress(size_t i, const std::string& file) {
    if (!progress_) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_)
            .count();
    const double rate = i > 0 && seconds > 0 ? i / seconds : 0;
    const size_t total = options_.files.size();
    char head[160];
    std::snprintf(head, sizeof head, "%zu of %zu, %.1f a second, %.0f s left",
                  i, total, rate, rate > 0 ? (total - i) / rate : 0.0);
    // Within the terminal's width, short of its last column: a line that
    // wraps would leave a row behind for each file.
    const size_t width = TerminalWidth();
    const std::string line = std::string(head) + ": " + Printable(file);
    messages_.Status(
        CutToWidth(line, std::strlen(head) + 2, width ? width - 1 : 0));
  }

  void ClearProgress() { messages_.Status(""); }

  void Summary() {
    ClearProgress();
    if (!messages_.diagnostics()) return;
    std::cout << written_ << " pictures written, " << refused_
              << " files refused";
    if (stopped_ || shut_)
      std::cout << "; stopped after " << written_ + refused_ << " of "
                << options_.files.size() << " files";
    std::cout << std::endl;
  }

  const Options& options_;
  const TextureLayout layout_;
  const Messages& messages_;
  InputFiles& inputs_;
  const PictureSize size_;
  const bool progress_;
  DrawingSurface surface_;
  ShadingProgram shading_;  // made once, for every file
  DrawnPicture pending_;    // drawn, not yet written
  std::set<std::string> taken_;
  std::chrono::steady_clock::time_point start_;
  size_t written_ = 0, refused_ = 0;
  bool stopped_ = false;
  bool shut_ = false;  // the folder takes no more pictures
};

}  // namespace

int RunPictures(const Options& options, GLenum opaquetextures,
                Messages& messages, InputFiles& inputs) {
  const PictureSize size = SizeOf(options);
  TextureLayout layout = ViewingLayout(opaquetextures);
  // A thumbnail shows no map at more than its own size.
  if (options.thumbnail) layout.mostside = size.drawn.width;
  if (options.folder) return Folder(options, layout, messages, inputs).Run();
  DrawingSurface surface;
  ShownFile shown(layout, messages, inputs);
  std::string why;
  // The file first: one that is refused needs no GL at all.
  if (!Prepare(options, options.file, shown, options.thumbnail == 0, why))
    messages.Fail(why);
  if (!inputs.SafeTarget(options.screenshot, why))
    messages.Fail("cannot write the screenshot " + options.screenshot + ": " +
                  why);
  if (!surface.Open(size.drawn, why) ||
      !DrawAndWrite(shown, surface, size, options.screenshot, inputs, why))
    messages.Fail(why);
  return 0;
}
