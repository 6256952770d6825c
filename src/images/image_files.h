// The images room: image files in and out. Textures are decoded from BMP,
// PNG, JPEG, TGA, GIF and PNM files into plain pixels, a scene's maps are
// found and decoded with no window (scene_maps.h), and screenshots are
// written as PNG (png_writer.h). It may use SDL_image and SDL's surfaces as the
// decoders' output (never SDL's video or events), libpng and stb's header
// reader, and the scene library; never OpenGL.
#ifndef MODELVIEWER_IMAGE_FILES_H
#define MODELVIEWER_IMAGE_FILES_H

#include <string>
#include <vector>

// The largest texture image taken, checked from its header before a pixel
// is decoded.
const int kMaxImageSide = 8192;
const long long kMaxImagePixels = 64ll << 20;

// A pixel's brightness: the weights of its red, green and blue, in
// thousandths. The shading programs weigh an opacity or bump map's texels
// by them too, so that what is found to be a cut-out is what is drawn.
const unsigned int kBrightnessWeights[3] = {299, 587, 114};

// Decoded pixels: red, green, blue, alpha bytes, top row first.
struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  bool alphachannel = false;  // the file has one; otherwise alpha is 255
  // Whether every pixel's brightness, or alpha, is 0 or 255, as the file
  // holds them (before the image was made smaller).
  bool blackandwhite = false, alphaonoff = false;

  // Whether some pixel is not opaque.
  bool Translucent() const;
};

// An image's width and height in pixels.
struct ImageSize {
  int width = 0, height = 0;
};

// Whether the image's header declares a size within the limits above, given
// in `size` where asked. False, with the reason, when there is no header to
// read or the image is larger than the limits.
bool ImageSizeIsSafe(const std::vector<unsigned char>& bytes, std::string& why,
                     ImageSize* size = nullptr);

// Decodes the image file `name`'s bytes, once ImageSizeIsSafe has passed
// them: a BMP (through SDL), PNG (libpng), TGA (which has no signature, by
// its name's extension, the right way up whichever corner it starts from),
// or any other format that SDL_image recognises by content (JPEG, GIF,
// PNM). CMYK and YCCK JPEGs are turned into RGB. False, with the reason,
// for another format or an image that fails to decode. Nothing is written
// to standard error.
//
// With `fit` (each side from 1 to the image's own), the image is made that
// size, each pixel the mean of the pixels whose centres fall in it. A PNG
// (but for an interlaced one) is made smaller row by row as it is decoded,
// so that only the smaller image is ever whole in memory; other images are
// decoded whole first.
bool DecodeImage(const std::string& name,
                 const std::vector<unsigned char>& bytes, Image& image,
                 std::string& why, const ImageSize& fit = ImageSize());

// A BMP file only, through SDL's own reader: the bundled program's images.
bool DecodeBmp(const std::vector<unsigned char>& bytes, Image& image,
               std::string& why);

// Pixels of `channels` bytes each, `width` x `height`, made `factor` times
// smaller each way, each the mean of the `factor` x `factor` it covers.
std::vector<unsigned char> ShrinkBy(const std::vector<unsigned char>& pixels,
                                    int width, int height, int channels,
                                    int factor);

#endif
