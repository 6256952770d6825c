#include "modes/picture_mode.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "base/stop.h"
#include "images/image_files.h"
#include "images/png_writer.h"
#include "modes/shown_file.h"
#include "platform/surface.h"
#include "scene/import.h"

namespace {

// A thumbnail's edges are smoothed: drawn twice as large each way and
// scaled down.
const int kThumbnailScale = 2;
// The most pixels a side that the GL draws at once. A picture drawn larger
// is drawn a tile at a time, so that the GL's buffers stay this size
// whatever the picture's.
const int kTileSide = 2048;

// The side of a tile: kTileSide, or less where MODELVIEWER_TILE_SIDE asks
// (from 16), to set a tiled picture beside one drawn whole; a multiple of
// `scale`.
int TileSide(int scale, const Switches& switches) {
  const int asked = switches.tileside;
  const int side = asked >= 16 && asked < kTileSide ? asked : kTileSide;
  return side - side % scale;
}

// A picture as it is drawn, and how many times smaller it is written.
struct PictureSize {
  int width = 0, height = 0;
  bool alpha = false;
  int scale = 1;
  int tile = kTileSide;  // the side of a tile, a multiple of the scale

  int written_width() const { return width / scale; }
  int written_height() const { return height / scale; }
  int channels() const { return alpha ? 4 : 3; }
};

PictureSize SizeOf(const Options& options) {
  PictureSize size;
  size.alpha = options.thumbnail > 0;
  if (options.thumbnail) {
    size.scale = kThumbnailScale;
    size.width = size.height = kThumbnailScale * options.thumbnail;
  } else {
    size.width = options.width;
    size.height = options.height;
  }
  size.tile = TileSide(size.scale, options.switches);
  return size;
}

// The surface that every tile is drawn on.
SurfaceFormat SurfaceOf(const PictureSize& size, const Switches& switches) {
  SurfaceFormat format;
  format.switches = switches;
  format.width = std::min(size.width, size.tile);
  format.height = std::min(size.height, size.tile);
  format.alpha = size.alpha;
  return format;
}

// The part of the picture with its bottom left pixel at (x, y), as drawn.
struct Tile {
  int x, y, width, height;
};

std::vector<Tile> TilesOf(const PictureSize& size) {
  std::vector<Tile> tiles;
  for (int y = 0; y < size.height; y += size.tile)
    for (int x = 0; x < size.width; x += size.tile)
      tiles.push_back({x, y, std::min(size.tile, size.width - x),
                       std::min(size.tile, size.height - y)});
  return tiles;
}

// A tile is the whole picture shifted under the surface, so the GL must
// take a viewport of the whole picture. False, with the reason, where not.
bool ViewportHolds(const PictureSize& size, std::string& why) {
  GLint most[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, most);
  if (size.width <= most[0] && size.height <= most[1]) return true;
  why = "OpenGL cannot draw a " + std::to_string(size.width) + " x " +
        std::to_string(size.height) + " picture: it draws at most " +
        std::to_string(most[0]) + " x " + std::to_string(most[1]);
  return false;
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

// Whether a transparent picture shows nothing at all.
bool NothingDrawn(const std::vector<unsigned char>& rgba) {
  for (size_t p = 3; p < rgba.size(); p += 4)
    if (rgba[p]) return false;
  return true;
}

// Reads the file and frames the frame asked for, or its thumbnail (through
// the camera asked for, the square that it sees); false, with the reason,
// when it is refused.
bool Prepare(const Options& options, const std::string& file, ShownFile& shown,
             bool countline, std::string& why) {
  // No thumbnail of a file cut short: a file manager then keeps its own
  // icon for a file that is broken.
  if (!shown.Load(file, countline, why, options.thumbnail > 0)) return false;
  bool started = true;
  if (!options.thumbnail || options.camera)
    started = shown.Start(options.frame, options.camera, why);
  else
    shown.StartThumbnail(options.frame);
  shown.controls().filelook = options.look == Options::kFileLook;
  return started;
}

// A picture read back from the surface, at the size it is written.
struct DrawnPicture {
  std::string file;  // what it shows
  std::string path;  // where it is to be written
  std::vector<unsigned char> pixels;
};

// Draws one tile of the file's picture into the surface. The GL may still be
// drawing when this returns.
void DrawTile(ShownFile& shown, const PictureSize& size, const Tile& tile) {
  shown.Draw(size.width, size.height, size.alpha, {}, tile.x, tile.y);
  glFlush();
}

// Reads the tile just drawn into its place in the picture, scaled down.
void ReadTile(DrawingSurface& surface, const PictureSize& size,
              const Tile& tile, std::vector<unsigned char>& picture) {
  const int channels = size.channels(), scale = size.scale;
  std::vector<unsigned char> pixels = surface.Read(tile.width, tile.height);
  if (scale > 1)
    pixels = ShrinkBy(pixels, tile.width, tile.height, channels, scale);
  if (tile.width == size.width && tile.height == size.height) {
    picture = std::move(pixels);
    return;
  }
  const size_t width = size.written_width();
  picture.resize(channels * width * size.written_height());
  const size_t row = static_cast<size_t>(channels) * (tile.width / scale);
  for (int y = 0; y < tile.height / scale; ++y)
    std::memcpy(
        &picture[channels * ((tile.y / scale + y) * width + tile.x / scale)],
        &pixels[y * row], row);
}

// Draws the file's whole picture, tile by tile, and reads it back; before
// the last tile is read, `meanwhile` runs while the GL draws it.
void DrawWhole(ShownFile& shown, DrawingSurface& surface,
               const PictureSize& size, DrawnPicture& picture,
               const std::function<void()>& meanwhile = {}) {
  shown.SetUpGl(true);
  const std::vector<Tile> tiles = TilesOf(size);
  for (size_t t = 0; t < tiles.size(); ++t) {
    StopPoint();
    DrawTile(shown, size, tiles[t]);
    if (t + 1 == tiles.size() && meanwhile) meanwhile();
    ReadTile(surface, size, tiles[t], picture.pixels);
  }
}

// Writes the picture; false, with the reason, when it cannot be written,
// or when a thumbnail would show nothing.
bool WritePicture(DrawnPicture& picture, const PictureSize& size,
                  InputFiles& inputs, std::string& why, int* error = nullptr) {
  if (error) *error = 0;
  // A file manager would show an empty square: it keeps its own icon.
  if (size.alpha && NothingDrawn(picture.pixels)) {
    why = picture.file +
          ": no thumbnail: nothing in the file shows (its faces are hidden "
          "throughout, fully transparent, too small to cover a pixel, or too "
          "large to draw)";
    return false;
  }
  if (size.alpha) Unpremultiply(picture.pixels);
  if (WriteScreenshot(picture.path, size.written_width(), size.written_height(),
                      picture.pixels, size.alpha, inputs, why, error))
    return true;
  why = "cannot write the screenshot " + picture.path + ": " + why;
  return false;
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
        progress_(messages.diagnostics() && isatty(2)),
        objects_(options.switches.noshaders) {}

  int Run() {
    std::string why;
    if (!MakeFolder(why) ||
        !surface_.Open(SurfaceOf(size_, options_.switches), why) ||
        !ViewportHolds(size_, why))
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
    ShownFile shown(layout_, messages_, inputs_, objects_);
    if (!Prepare(options_, file, shown, false, why)) {
      Refuse(why);
      return;
    }
    // A picture of several tiles is drawn with no other in memory.
    if (TilesOf(size_).size() > 1) WritePending();
    if (shut_) return;
    DrawnPicture next{file, TargetOf(i), {}};
    DrawWhole(shown, surface_, size_, next, [this] { WritePending(); });
    if (shut_) return;
    pending_ = std::move(next);
  }

  // The picture drawn last, written; none is left pending. A folder that
  // takes no more pictures ends the run.
  void WritePending() {
    if (pending_.path.empty()) return;
    DrawnPicture picture = std::move(pending_);
    pending_ = DrawnPicture();
    std::string why;
    int error = 0;
    const bool written = WritePicture(picture, size_, inputs_, why, &error);
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
  GlObjects objects_;     // the surface's context's, for every file
  DrawnPicture pending_;  // drawn, not yet written
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
  if (options.thumbnail) layout.mostside = size.width;
  if (options.folder) return Folder(options, layout, messages, inputs).Run();
  DrawingSurface surface;
  GlObjects objects(options.switches.noshaders);
  ShownFile shown(layout, messages, inputs, objects);
  std::string why;
  // The file first: one that is refused needs no GL at all.
  if (!Prepare(options, options.file, shown, options.thumbnail == 0, why))
    messages.Fail(why);
  if (!inputs.SafeTarget(options.screenshot, why))
    messages.Fail("cannot write the screenshot " + options.screenshot + ": " +
                  why);
  if (!surface.Open(SurfaceOf(size, options.switches), why) ||
      !ViewportHolds(size, why))
    messages.Fail(why);
  DrawnPicture picture{options.file, options.screenshot, {}};
  DrawWhole(shown, surface, size, picture);
  StopPoint();
  if (!WritePicture(picture, size, inputs, why)) messages.Fail(why);
  return 0;
}
