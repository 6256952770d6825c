#include "images/image_files.h"

#include <SDL.h>
#include <SDL_image.h>
#include <fcntl.h>
#include <png.h>
#include <stb/stb_image.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/file_names.h"
#include "base/stop.h"

namespace {

SDL_RWops* ReaderOf(const std::vector<unsigned char>& bytes) {
  return SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
}

// Masks of red, green, blue, alpha bytes in this order in memory.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
const Uint32 kRgbaMasks[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
#else
const Uint32 kRgbaMasks[4] = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
#endif

// libpng's own reader: its errors and warnings come back as text instead of
// lines on standard error.
bool DecodePng(const std::vector<unsigned char>& bytes, Image& out,
               std::string& why) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  bool decoded = false;
  if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    out.alphachannel = true;  // whether any pixel uses it is seen later
    image.format = PNG_FORMAT_RGBA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.resize(4 * static_cast<size_t>(out.width) * out.height);
    decoded = png_image_finish_read(&image, nullptr, out.rgba.data(), 0,
                                    nullptr) != 0;
  }
  if (!decoded) why = image.message;
  png_image_free(&image);
  return decoded;
}

// The surface's pixels, released here, as red, green, blue, alpha bytes.
bool FromSurface(SDL_Surface* surface, Image& image, std::string& why) {
  const bool alpha = surface->format->Amask != 0;
  SDL_Surface* rgba =
      SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, kRgbaMasks[0],
                           kRgbaMasks[1], kRgbaMasks[2], kRgbaMasks[3]);
  SDL_Surface* converted =
      rgba ? SDL_ConvertSurface(surface, rgba->format, SDL_SWSURFACE) : nullptr;
  SDL_FreeSurface(rgba);
  SDL_FreeSurface(surface);
  if (!converted) {
    why = SDL_GetError();
    return false;
  }
  image.width = converted->w;
  image.height = converted->h;
  image.alphachannel = alpha;
  const size_t row = 4 * static_cast<size_t>(converted->w);
  image.rgba.resize(row * converted->h);
  for (int y = 0; y < converted->h; ++y) {
    unsigned char* out = &image.rgba[row * y];
    std::memcpy(out,
                static_cast<Uint8*>(converted->pixels) +
                    static_cast<size_t>(y) * converted->pitch,
                row);
    if (!alpha)
      for (size_t x = 3; x < row; x += 4) out[x] = 255;
  }
  SDL_FreeSurface(converted);
  return true;
}

// SDL_image hands a four-component JPEG over as its raw C, M, Y, K bytes,
// stored inverted as Adobe's writers do (and libjpeg turns YCCK into the
// same): each colour is its byte times K. The surface is released here.
bool FromInvertedCmyk(SDL_Surface* cmyk, Image& image) {
  image.width = cmyk->w;
  image.height = cmyk->h;
  image.alphachannel = false;
  image.rgba.resize(4 * static_cast<size_t>(cmyk->w) * cmyk->h);
  unsigned char* out = image.rgba.data();
  for (int y = 0; y < cmyk->h; ++y) {
    const Uint8* in = static_cast<const Uint8*>(cmyk->pixels) +
                      static_cast<size_t>(y) * cmyk->pitch;
    for (int x = 0; x < cmyk->w; ++x, in += 4, out += 4) {
      for (int k = 0; k < 3; ++k)
        out[k] = static_cast<unsigned char>(in[k] * in[3] / 255);
      out[3] = 255;
    }
  }
  SDL_FreeSurface(cmyk);
  return true;
}

void FlipRows(Image& image) {
  const size_t row = 4 * static_cast<size_t>(image.width);
  for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(image.rgba.begin() + row * top,
                     image.rgba.begin() + row * (top + 1),
                     image.rgba.begin() + row * bottom);
}

}  // namespace

namespace {

// The size in a PNG's header, read by libpng as the decoder will read it.
bool PngSize(const std::vector<unsigned char>& bytes, long long& w,
             long long& h, std::string& why) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  const bool read =
      png_image_begin_read_from_memory(&image, bytes.data(), bytes.size());
  if (!read) why = image.message;
  w = image.width;
  h = image.height;
  png_image_free(&image);
  return read;
}

const unsigned char kPngSignature[8] = {0x89, 'P',  'N',  'G',
                                        '\r', '\n', 0x1A, '\n'};

bool IsPng(const std::vector<unsigned char>& bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0;
}

}  // namespace

// The sizes of other formats come from stb_image's header readers: one call
// for BMP, JPEG and the rest, which reads no pixel and writes no message.
bool ImageSizeIsSafe(const std::vector<unsigned char>& bytes,
                     std::string& why) {
  long long w = 0, h = 0;
  if (IsPng(bytes)) {
    if (!PngSize(bytes, w, h, why)) return false;
  } else {
    int iw = 0, ih = 0, components = 0;
    if (bytes.size() > 0x7FFFFFFF ||
        !stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                               &iw, &ih, &components)) {
      why =
          "not a BMP, PNG, JPEG, TGA, GIF or PNM image whose size can be "
          "read";
      return false;
    }
    w = iw;
    h = ih;
  }
  if (w > kMaxImageSide || h > kMaxImageSide || w * h > kMaxImagePixels) {
    why = "it is " + std::to_string(w) + " x " + std::to_string(h) +
          " pixels; the most taken is " + std::to_string(kMaxImageSide) +
          " on a side and " + std::to_string(kMaxImagePixels >> 20) +
          " megapixels";
    return false;
  }
  return true;
}

namespace {

bool NamedTga(const std::string& name) {
  return name.size() >= 4 &&
         strcasecmp(name.c_str() + name.size() - 4, ".tga") == 0;
}

}  // namespace

namespace {

// Adds each block of `factor` pixels of a row of `width` pixels of
// `Channels` bytes into `sums`, a pixel of sums a block.
template <int Channels>
void AddBlocks(const unsigned char* in, size_t width, int factor,
               unsigned int* sums) {
  for (size_t x = 0; x + factor <= width; x += factor, sums += Channels) {
    unsigned int r = 0, g = 0, b = 0, a = 0;
    for (int dx = 0; dx < factor; ++dx, in += Channels) {
      r += in[0];
      g += in[1];
      b += in[2];
      if constexpr (Channels == 4) a += in[3];
    }
    sums[0] += r;
    sums[1] += g;
    sums[2] += b;
    if constexpr (Channels == 4) sums[3] += a;
  }
}

}  // namespace

std::vector<unsigned char> ShrinkBy(const std::vector<unsigned char>& pixels,
                                    int width, int height, int channels,
                                    int factor) {
  const size_t w = width / factor, h = height / factor;
  const size_t rowin = static_cast<size_t>(width) * channels;
  const size_t rowout = w * channels;
  std::vector<unsigned char> out(rowout * h);
  std::vector<unsigned int> sums(rowout);
  // The mean of each sum there can be, rounded, looked up rather than
  // divided for.
  const unsigned int area = static_cast<unsigned int>(factor * factor);
  std::vector<unsigned char> mean(255 * area + 1);
  for (unsigned int sum = 0; sum < mean.size(); ++sum)
    mean[sum] = static_cast<unsigned char>((sum + area / 2) / area);
  // A row of blocks at a time, reading the picture in order.
  for (size_t y = 0; y < h; ++y) {
    std::fill(sums.begin(), sums.end(), 0);
    for (int dy = 0; dy < factor; ++dy) {
      const unsigned char* in = &pixels[(y * factor + dy) * rowin];
      if (channels == 4)
        AddBlocks<4>(in, width, factor, sums.data());
      else
        AddBlocks<3>(in, width, factor, sums.data());
    }
    unsigned char* row = &out[y * rowout];
    for (size_t k = 0; k < rowout; ++k) row[k] = mean[sums[k]];
  }
  return out;
}

bool Image::Translucent() const {
  if (!alphachannel) return false;
  for (size_t p = 3; p < rgba.size(); p += 4)
    if (rgba[p] != 255) return true;
  return false;
}

bool DecodeImage(const std::string& name,
                 const std::vector<unsigned char>& bytes, Image& image,
                 std::string& why) {
  if (IsPng(bytes)) return DecodePng(bytes, image, why);
  SDL_RWops* file = ReaderOf(bytes);
  if (!file) {
    why = SDL_GetError();
    return false;
  }
  SDL_Surface* surface = nullptr;
  bool cmyk = false, bottomup = false;
  if (IMG_isBMP(file)) {
    surface = SDL_LoadBMP_RW(file, 0);
  } else if (IMG_isJPG(file)) {
    surface = IMG_LoadJPG_RW(file);
    cmyk = surface && surface->format->BitsPerPixel == 32;
  } else if (NamedTga(name)) {
    // SDL_image stores the rows as they come, whichever corner the file
    // starts from; most files start from the bottom (bit 5 of byte 17).
    surface = IMG_LoadTGA_RW(file);
    bottomup = bytes.size() > 17 && !(bytes[17] & 0x20);
  } else {
    surface = IMG_Load_RW(file, 0);
  }
  SDL_RWclose(file);
  if (!surface) {
    why = SDL_GetError();
    return false;
  }
  if (cmyk) return FromInvertedCmyk(surface, image);
  if (!FromSurface(surface, image, why)) return false;
  if (bottomup) FlipRows(image);
  return true;
}

bool DecodeBmp(const std::vector<unsigned char>& bytes, Image& image,
               std::string& why) {
  SDL_Surface* surface = SDL_LoadBMP_RW(ReaderOf(bytes), 1);
  if (!surface) {
    why = SDL_GetError();
    return false;
  }
  return FromSurface(surface, image, why);
}

namespace {

struct PngFailure {
  char message[200];
  bool stopped;  // the run was asked to end
  int error;     // errno of a write that failed, else 0
};

void OnPngError(png_structp png, png_const_charp message) {
  PngFailure* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// libpng's own writer reports any failed write as "Write Error"; this one
// keeps the system's reason (a full disk, say).
void WriteToFile(png_structp png, png_bytep data, png_size_t length) {
  std::FILE* out = static_cast<std::FILE*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, out) == length) return;
  PngFailure* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  failure->error = errno;
  png_error(png, std::strerror(errno));
}

void FlushFile(png_structp png) {
  std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png)));
}

// Kept apart from anything with a destructor: libpng reports errors by
// jumping back to the setjmp here. A stop request ends it between rows.
bool WriteRows(std::FILE* out, int width, int height, bool alpha,
               png_bytep* rows, PngFailure* failure) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure,
                                            OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, WriteToFile, FlushFile);
  // One filter and zlib's run-length mode: quick, and small where most of
  // the picture is background. The default adaptive filters and level take
  // 20 to 30 ms a screenshot.
  png_set_compression_level(png, 1);
  png_set_compression_strategy(png, Z_RLE);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, width, height, 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height && !failure->stopped; ++y) {
    png_write_row(png, rows[y]);
    failure->stopped = StopRequested();
  }
  if (!failure->stopped) png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return !failure->stopped;
}

// The file that writing to `path` replaces: where its links lead, to the
// last name (which need not exist yet).
std::string FinalTarget(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    std::vector<char> link(static_cast<size_t>(info.st_size) + 1);
    const ssize_t length = readlink(path.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<size_t>(length) >= link.size()) break;
    const std::string to(link.data(), static_cast<size_t>(length));
    const std::string folder = FolderOf(path);
    path = to[0] == '/' || folder.empty() ? to : folder + "/" + to;
  }
  return path;
}

// Makes a file of a new name, ".modelviewer-" and six letters or digits, in
// the open folder `dir`, as mkstemp does but relative to the folder's
// descriptor. Its descriptor, or -1 with errno.
int CreateTemporary(int dir, std::string& name) {
  static const char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned long long state = 0;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  state ^=
      static_cast<unsigned long long>(now.tv_nsec) * 0x9E3779B97F4A7C15ull ^
      static_cast<unsigned long long>(getpid()) << 32 ^ now.tv_sec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    unsigned long long bits = state >> 20;
    name = ".modelviewer-";
    for (int k = 0; k < 6; ++k, bits /= 62) name += kLetters[bits % 62];
    const int fd =
        openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;  // errno is EEXIST
}

// A new file in the open folder `dir`, with the permissions (and, where the
// process may set them, the owner and group) of the file `name` there that
// it will replace, or those of a file made with fopen.
std::FILE* CreateBeside(int dir, const std::string& name,
                        std::string& temporary) {
  const int fd = CreateTemporary(dir, temporary);
  if (fd < 0) return nullptr;
  struct stat old;
  if (fstatat(dir, name.c_str(), &old, 0) == 0) {
    fchmod(fd, old.st_mode & 07777);
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Another owner takes privileges the run does not have.
    }
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  std::FILE* out = fdopen(fd, "wb");
  if (!out) {
    const int error = errno;
    close(fd);
    unlinkat(dir, temporary.c_str(), 0);
    errno = error;
  }
  return out;
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

bool WritePng(const std::string& path, int width, int height,
              const unsigned char* pixels, bool alpha, std::string& why,
              int* error) {
  int ignored;
  int& failed = error ? *error : ignored;
  failed = 0;
  const bool console = path == "-";
  // The folder is held open: the new file is made, renamed and removed in
  // it even if it is renamed meanwhile, and nothing is left behind.
  const std::string target = console ? path : FinalTarget(path);
  const std::string name = target.substr(target.rfind('/') + 1);
  const std::string folder = FolderOf(target);
  const int dir = console ? -1
                          : open(folder.empty() ? "." : folder.c_str(),
                                 O_PATH | O_DIRECTORY | O_CLOEXEC);
  std::string temporary;
  std::FILE* out = console    ? stdout
                   : dir >= 0 ? CreateBeside(dir, name, temporary)
                              : nullptr;
  if (!out) {
    failed = errno;
    why = Reason(failed);
    if (dir >= 0) close(dir);
    return false;
  }
  const size_t row = (alpha ? 4 : 3) * static_cast<size_t>(width);
  std::vector<png_bytep> rows(height);
  for (int y = 0; y < height; ++y)
    rows[y] = const_cast<png_bytep>(pixels + row * (height - 1 - y));
  PngFailure failure = {"cannot encode the image", false, 0};
  bool written = WriteRows(out, width, height, alpha, rows.data(), &failure);
  const int closed = console ? std::fflush(out) : std::fclose(out);
  why = failure.message;
  failed = failure.error;
  if (written && closed != 0) written = false, failed = errno;
  if (written && !console &&
      renameat(dir, temporary.c_str(), dir, name.c_str()) != 0)
    written = false, failed = errno;
  if (!written && failed) why = Reason(failed);
  if (!written && !console) unlinkat(dir, temporary.c_str(), 0);  // its own
  if (dir >= 0) close(dir);
  if (failure.stopped) StopPoint();
  return written;
}

bool WriteScreenshot(const std::string& path, int width, int height,
                     const std::vector<unsigned char>& pixels, bool alpha,
                     const InputFiles& inputs, std::string& why, int* error) {
  if (error) *error = 0;
  return inputs.SafeTarget(path, why) &&
         WritePng(path, width, height, pixels.data(), alpha, why, error);
}
