#include "image_files.h"

#include <SDL_image.h>
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

SDL_Surface* LoadImageFile(const std::string& path, std::string& why) {
  SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
  if (!file) {
    why = SDL_GetError();
    return nullptr;
  }
  SDL_Surface* image = nullptr;
  bool known = true;
  if (IMG_isBMP(file))
    image = SDL_LoadBMP_RW(file, 0);
  else if (IMG_isPNG(file))
    image = IMG_LoadPNG_RW(file);
  else if (IMG_isJPG(file))
    image = IMG_LoadJPG_RW(file);
  else
    known = false;
  if (!image) why = known ? SDL_GetError() : "not a BMP, PNG or JPEG image";
  SDL_RWclose(file);
  return image;
}

namespace {

struct PngFailure {
  char message[200];
};

void OnPngError(png_structp png, png_const_charp message) {
  PngFailure* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Kept apart from anything with a destructor: libpng reports errors by
// jumping back to the setjmp here.
bool WriteRows(std::FILE* out, int width, int height, png_bytep* rows,
               PngFailure* failure) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure,
                                            OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, out);
  // A third of the default effort for files a few percent larger: the
  // default adaptive filters and zlib level take 20 to 30 ms a screenshot.
  png_set_compression_level(png, 3);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height,
              const unsigned char* rgb, std::string& why) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    why = std::strerror(errno);
    return false;
  }
  std::vector<png_bytep> rows(height);
  for (int y = 0; y < height; ++y)
    rows[y] = const_cast<png_bytep>(rgb + 3 * static_cast<size_t>(width) *
                                              (height - 1 - y));
  PngFailure failure = {"cannot encode the image"};
  bool written = WriteRows(out, width, height, rows.data(), &failure);
  if (std::fclose(out) != 0 && written) {
    written = false;
    std::snprintf(failure.message, sizeof failure.message, "%s",
                  std::strerror(errno));
  }
  if (!written) {
    why = failure.message;
    std::remove(path.c_str());  // no half-written picture left behind
  }
  return written;
}
