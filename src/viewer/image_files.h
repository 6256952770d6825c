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

// Decodes the image file `name`'s bytes, once ImageSizeIsSafe has passed
// them: a BMP (through SDL), PNG (libpng), TGA (which has no signature, by
// its name's extension), or any other format that SDL_image recognises by
// content (JPEG, GIF, PNM). CMYK and YCCK JPEGs are turned into RGB. Null,
// with the reason, for another format or an image that fails to decode.
// Nothing is written to standard error.
SDL_Surface* DecodeImage(const std::string& name,
                         const std::vector<unsigned char>& bytes,
                         std::string& why);

// Puts the image's rows in reverse order.
void FlipRows(SDL_Surface* image);

// Writes `height` rows of `width` red, green, blue bytes, stored bottom row
// first as OpenGL reads them, as an 8-bit RGB PNG, top row first, to `path`
// or, for "-", to standard output. The picture goes to a new file in the
// same folder that then replaces `path`, so a failed write leaves `path`
// as it was. False, with the reason, when it cannot be written.
bool WritePng(const std::string& path, int width, int height,
              const unsigned char* rgb, std::string& why);

#endif
