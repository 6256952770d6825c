// Image files of the viewer: textures in, screenshots out.
#ifndef MODELVIEWER_IMAGE_FILES_H
#define MODELVIEWER_IMAGE_FILES_H

#include <SDL.h>

#include <string>
#include <vector>

// The largest texture image taken, checked from its header before a pixel
// is decoded.
const int kMaxImageSide = 8192;
const long long kMaxImagePixels = 64ll << 20;

// The width and height that the image's header declares. False, with the
// reason, when there is no header to read or the image is larger than the
// limits above.
bool ImageSizeIsSafe(const std::vector<unsigned char>& bytes, std::string& why);

// Decodes a BMP (through SDL), PNG (libpng) or JPEG (SDL_image), recognised
// by its first bytes, not its name, once ImageSizeIsSafe has passed it.
// CMYK and YCCK JPEGs are turned into RGB. Null, with the reason, for
// another format or an image that fails to decode. Nothing is written to
// standard error.
SDL_Surface* DecodeImage(const std::vector<unsigned char>& bytes,
                         std::string& why);

// Writes `height` rows of `width` red, green, blue bytes, stored bottom row
// first as OpenGL reads them, as an 8-bit RGB PNG, top row first, to `path`
// or, for "-", to standard output. The picture goes to a new file in the
// same folder that then replaces `path`, so a failed write leaves `path`
// as it was. False, with the reason, when it cannot be written.
bool WritePng(const std::string& path, int width, int height,
              const unsigned char* rgb, std::string& why);

#endif
