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

// Notes in `image` whether `pixels` RGBA pixels keep every brightness, and
// every alpha, at 0 or 255 (both start true).
void NoteOnOff(const unsigned char* p, size_t pixels, Image& image) {
  for (size_t i = 0; i < pixels && (image.blackandwhite || image.alphaonoff);
       ++i, p += 4) {
    // The brightness (kBrightnessWeights, in thousandths) is 0 or 255.
    const unsigned int weighted = kBrightnessWeights[0] * p[0] +
                                  kBrightnessWeights[1] * p[1] +
                                  kBrightnessWeights[2] * p[2];
    if (weighted >= 1000 && weighted < 255000) image.blackandwhite = false;
    if (p[3] != 0 && p[3] != 255) image.alphaonoff = false;
  }
}

// Whether `fit` asks for an image smaller than `width` x `height` (and one
// that is there).
bool Smaller(const ImageSize& fit, long long width, long long height) {
  return fit.width > 0 && fit.height > 0 && width > 0 && height > 0 &&
         (fit.width < width || fit.height < height);
}

// Where input pixel i of n falls among m (m <= n): the one its centre is in.
// Every one of the m takes at least one.
size_t Bin(size_t i, size_t n, size_t m) { return (2 * i + 1) * m / (2 * n); }

// An image made smaller from its RGBA rows, taken top row first, one at a
// time: each pixel the mean of the pixels whose centres fall in it. Holds
// the smaller image (`fit`, each side from 1 to the image's own) and the
// sums of one of its rows.
class Shrinker {
 public:
  Shrinker(int width, int height, const ImageSize& fit, Image& image)
      : image_(image),
        width_(width),
        height_(height),
        columns_(std::clamp(fit.width, 1, width)) {
    image_.width = static_cast<int>(columns_.size());
    image_.height = std::clamp(fit.height, 1, height);
    image_.rgba.assign(4 * columns_.size() * image_.height, 0);
    image_.blackandwhite = image_.alphaonoff = true;
    for (int x = 0; x < width; ++x) ++columns_[Bin(x, width, image_.width)];
    sums_.assign(4 * columns_.size(), 0);
  }

  // Rows past the height are not taken.
  void Add(const unsigned char* row) {
    if (taken_ >= height_) return;
    NoteOnOff(row, width_, image_);
    const int y = static_cast<int>(Bin(taken_, height_, image_.height));
    if (y != row_) Emit();
    row_ = y;
    unsigned long long* sum = sums_.data();
    for (unsigned int run : columns_) {
      unsigned int r = 0, g = 0, b = 0, a = 0;
      for (unsigned int k = 0; k < run; ++k, row += 4) {
        r += row[0];
        g += row[1];
        b += row[2];
        a += row[3];
      }
      sum[0] += r;
      sum[1] += g;
      sum[2] += b;
      sum[3] += a;
      sum += 4;
    }
    ++rows_;
    ++taken_;
  }

  // The last row, once every row is in.
  void Finish() { Emit(); }

 private:
  void Emit() {
    if (rows_ == 0) return;
    unsigned char* out = image_.rgba.data() + 4 * size_t(image_.width) * row_;
    for (size_t x = 0; x < columns_.size(); ++x) {
      const unsigned long long n =
          static_cast<unsigned long long>(columns_[x]) * rows_;
      for (int k = 0; k < 4; ++k, ++out)
        *out = static_cast<unsigned char>((sums_[4 * x + k] + n / 2) / n);
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rows_ = 0;
  }

  Image& image_;
  const int width_, height_;
  std::vector<unsigned int> columns_;  // input columns in each output one
  std::vector<unsigned long long> sums_;
  int taken_ = 0;          // input rows taken
  int row_ = 0;            // the output row that the sums are of
  unsigned int rows_ = 0;  // input rows in the sums
};

// Notes the whole image's pixels, and makes it `fit` in size where that is
// smaller, freeing the larger one.
void FitWhole(Image& image, const ImageSize& fit) {
  image.blackandwhite = image.alphaonoff = true;
  NoteOnOff(image.rgba.data(), image.rgba.size() / 4, image);
  if (!Smaller(fit, image.width, image.height)) return;
  Image small;
  small.alphachannel = image.alphachannel;
  Shrinker shrinker(image.width, image.height, fit, small);
  const size_t row = 4 * size_t(image.width);
  for (int y = 0; y < image.height; ++y)
    shrinker.Add(image.rgba.data() + row * y);
  shrinker.Finish();
  // As the whole image had them.
  small.blackandwhite = image.blackandwhite;
  small.alphaonoff = image.alphaonoff;
  image = std::move(small);
}

// libpng's own reader: its errors and warnings come back as text instead of
// lines on standard error.
bool DecodeWholePng(const std::vector<unsigned char>& bytes, Image& out,
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

// A PNG read row by row through libpng: its bytes, how far it is read, and
// what went wrong.
struct PngRows {
  const std::vector<unsigned char>* bytes;
  size_t at;
  char message[200];
};

void OnPngReadError(png_structp png, png_const_charp message) {
  PngRows* in = static_cast<PngRows*>(png_get_error_ptr(png));
  std::snprintf(in->message, sizeof in->message, "%s", message);
  png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

void ReadPngBytes(png_structp png, png_bytep data, png_size_t length) {
  PngRows* in = static_cast<PngRows*>(png_get_io_ptr(png));
  const std::vector<unsigned char>& bytes = *in->bytes;
  if (length > bytes.size() - in->at) png_error(png, "the file ends early");
  std::memcpy(data, bytes.data() + in->at, length);
  in->at += length;
}

// Asks libpng for 8-bit RGBA rows, as its simplified reader gives them: the
// palette and grey expanded, 16-bit samples taken as linear where the file
// says nothing of its gamma, and sRGB out.
void AskForRgba(png_structp png, png_infop info) {
  const int type = png_get_color_type(png, info);
  const bool deep = png_get_bit_depth(png, info) == 16;
  const bool alpha =
      (type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  png_set_expand(png);
  if (!(type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  png_set_alpha_mode(png, PNG_ALPHA_PNG,
                     deep ? PNG_GAMMA_LINEAR : PNG_DEFAULT_sRGB);
  if (deep) png_set_scale_16(png);
  if (!alpha) png_set_add_alpha(png, 255, PNG_FILLER_AFTER);
  png_set_alpha_mode(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
}

// Kept apart from anything with a destructor: libpng reports errors by
// jumping back to the setjmp here. Reads a PNG that is not interlaced, of
// `width` x `height` pixels, into `shrinker` a row at a time through `row`.
bool ReadPngRows(PngRows* in, png_uint_32 width, png_uint_32 height,
                 unsigned char* row, Shrinker* shrinker) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, in,
                                           OnPngReadError, IgnorePngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, in, ReadPngBytes);
  png_read_info(png, info);
  if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE ||
      png_get_image_width(png, info) != width ||
      png_get_image_height(png, info) != height)
    png_error(png, "the image changed while it was read");
  AskForRgba(png, info);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != 4 * size_t(width))
    png_error(png, "libpng gives no RGBA rows for it");
  for (png_uint_32 y = 0; y < height; ++y) {
    png_read_row(png, row, nullptr);
    shrinker->Add(row);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

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

// The header's interlace byte, which follows the signature and IHDR's
// length, type, width, height, depth, colour type, compression and filter.
bool Interlaced(const std::vector<unsigned char>& bytes) {
  return bytes.size() > 28 && bytes[28] != 0;
}

// A PNG at `fit` size: made smaller row by row as it is decoded where it is
// not interlaced, else decoded whole first.
bool DecodePng(const std::vector<unsigned char>& bytes, Image& out,
               std::string& why, const ImageSize& fit) {
  long long width = 0, height = 0;
  if (!PngSize(bytes, width, height, why)) return false;
  if (!Smaller(fit, width, height) || Interlaced(bytes)) {
    if (!DecodeWholePng(bytes, out, why)) return false;
    FitWhole(out, fit);
    return true;
  }
  out.alphachannel = true;
  PngRows in = {&bytes, 0, "cannot decode the image"};
  std::vector<unsigned char> row(4 * static_cast<size_t>(width));
  Shrinker shrinker(static_cast<int>(width), static_cast<int>(height), fit,
                    out);
  if (!ReadPngRows(&in, static_cast<png_uint_32>(width),
                   static_cast<png_uint_32>(height), row.data(), &shrinker)) {
    why = in.message;
    return false;
  }
  shrinker.Finish();
  return true;
}

// Hands the `height` rows that `row(y)` gives (RGBA pixels, `width` each),
// top row first, to the image at its own size or at the smaller `fit`.
template <class RowOf>
void TakeRows(int width, int height, const ImageSize& fit, RowOf row,
              Image& image) {
  if (Smaller(fit, width, height)) {
    Shrinker shrinker(width, height, fit, image);
    for (int y = 0; y < height; ++y) shrinker.Add(row(y));
    shrinker.Finish();
    return;
  }
  image.width = width;
  image.height = height;
  const size_t bytes = 4 * static_cast<size_t>(width);
  image.rgba.resize(bytes * height);
  for (int y = 0; y < height; ++y)
    std::memcpy(image.rgba.data() + bytes * y, row(y), bytes);
  image.blackandwhite = image.alphaonoff = true;
  NoteOnOff(image.rgba.data(), image.rgba.size() / 4, image);
}

// The surface's pixels, released here, as red, green, blue, alpha bytes,
// the bottom row first where `bottomup` says the surface holds them so.
bool FromSurface(SDL_Surface* surface, Image& image, std::string& why,
                 const ImageSize& fit = ImageSize(), bool bottomup = false) {
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
  image.alphachannel = alpha;
  const int h = converted->h;
  std::vector<unsigned char> line(4 * static_cast<size_t>(converted->w));
  auto row = [&](int y) {
    std::memcpy(
        line.data(),
        static_cast<Uint8*>(converted->pixels) +
            static_cast<size_t>(bottomup ? h - 1 - y : y) * converted->pitch,
        line.size());
    if (!alpha)
      for (size_t x = 3; x < line.size(); x += 4) line[x] = 255;
    return line.data();
  };
  TakeRows(converted->w, h, fit, row, image);
  SDL_FreeSurface(converted);
  return true;
}

// SDL_image hands a four-component JPEG over as its raw C, M, Y, K bytes,
// stored inverted as Adobe's writers do (and libjpeg turns YCCK into the
// same): each colour is its byte times K. The surface is released here.
bool FromInvertedCmyk(SDL_Surface* cmyk, Image& image, const ImageSize& fit) {
  image.alphachannel = false;
  std::vector<unsigned char> line(4 * static_cast<size_t>(cmyk->w));
  auto row = [&](int y) {
    const Uint8* in = static_cast<const Uint8*>(cmyk->pixels) +
                      static_cast<size_t>(y) * cmyk->pitch;
    unsigned char* out = line.data();
    for (int x = 0; x < cmyk->w; ++x, in += 4, out += 4) {
      for (int k = 0; k < 3; ++k)
        out[k] = static_cast<unsigned char>(in[k] * in[3] / 255);
      out[3] = 255;
    }
    return line.data();
  };
  TakeRows(cmyk->w, cmyk->h, fit, row, image);
  SDL_FreeSurface(cmyk);
  return true;
}

const unsigned char kPngSignature[8] = {0x89, 'P',  'N',  'G',
                                        '\r', '\n', 0x1A, '\n'};

bool IsPng(const std::vector<unsigned char>& bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0;
}

}  // namespace

// The sizes of other formats come from stb_image's header readers: one call
// for BMP, JPEG and the rest, which reads no pixel and writes no message.
bool ImageSizeIsSafe(const std::vector<unsigned char>& bytes, std::string& why,
                     ImageSize* size) {
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
  if (size) {
    size->width = static_cast<int>(w);
    size->height = static_cast<int>(h);
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
      const unsigned char* in = pixels.data() + (y * factor + dy) * rowin;
      if (channels == 4)
        AddBlocks<4>(in, width, factor, sums.data());
      else
        AddBlocks<3>(in, width, factor, sums.data());
    }
    unsigned char* row = out.data() + y * rowout;
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
                 std::string& why, const ImageSize& fit) {
  if (IsPng(bytes)) return DecodePng(bytes, image, why, fit);
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
  if (cmyk) return FromInvertedCmyk(surface, image, fit);
  return FromSurface(surface, image, why, fit, bottomup);
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
