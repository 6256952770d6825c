// PNG files read through libpng, within the images room: the size in the
// header, and the pixels, made smaller row by row where a smaller size is
// asked for.
#ifndef MODELVIEWER_PNG_READER_H
#define MODELVIEWER_PNG_READER_H

#include <string>
#include <vector>

#include "images/image_files.h"

// Whether the bytes start with PNG's signature.
bool IsPng(const std::vector<unsigned char>& bytes);

// The size in a PNG's header, read by libpng as the decoder will read it.
bool PngSize(const std::vector<unsigned char>& bytes, long long& w,
             long long& h, std::string& why);

// A PNG at `fit` size: made smaller row by row as it is decoded where it is
// not interlaced, else decoded whole first.
bool DecodePng(const std::vector<unsigned char>& bytes, Image& out,
               std::string& why, const ImageSize& fit);

#endif
