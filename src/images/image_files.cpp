#include "images/image_files.h"

#include <SDL.h>
#include <SDL_image.h>
#include <stb/stb_image.h>
#include <strings.h>

#include <cstring>

#include "images/png_reader.h"
#include "images/shrinking.h"

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
