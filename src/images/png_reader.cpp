#include "images/png_reader.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "images/shrinking.h"

namespace {

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

// The header's interlace byte, which follows the signature and IHDR's
// length, type, width, height, depth, colour type, compression and filter.
bool Interlaced(const std::vector<unsigned char>& bytes) {
  return bytes.size() > 28 && bytes[28] != 0;
}

const unsigned char kPngSignature[8] = {0x89, 'P',  'N',  'G',
                                        '\r', '\n', 0x1A, '\n'};

}  // namespace

bool IsPng(const std::vector<unsigned char>& bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0;
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
