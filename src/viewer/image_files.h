// Image files of the viewing mode: textures in, screenshots out.
#ifndef MODELVIEWER_IMAGE_FILES_H
#define MODELVIEWER_IMAGE_FILES_H

#include <SDL.h>

#include <string>

// Decodes a BMP (through SDL), PNG or JPEG (through SDL_image) file,
// recognised by its first bytes, not its name. Null, with the reason, for a
// missing file, another format, or an image that fails to decode.
SDL_Surface* LoadImageFile(const std::string& path, std::string& why);

// Writes `height` rows of `width` red, green, blue bytes, stored bottom row
// first as OpenGL reads them, as an 8-bit RGB PNG, top row first. False, with
// the reason, when the file cannot be written.
bool WritePng(const std::string& path, int width, int height,
              const unsigned char* rgb, std::string& why);

#endif
