// --info: what the program read from a file, for people (text) or for
// scripts (one JSON document), without a window.
#ifndef MODELVIEWER_INFO_H
#define MODELVIEWER_INFO_H

#include <functional>
#include <string>

#include "scene_import.h"

// The image file that a stored texture name leads to, or "" for none.
using ImageFinder = std::function<std::string(const std::string& stored)>;

// The scene of `file` at `frame`, every placement's box after every
// transform, in the file's own coordinates (z up).
std::string InfoText(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find);
std::string InfoJson(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find);

// Bytes of the file's code page, taken as Latin-1, in UTF-8: valid whatever
// the bytes.
std::string Latin1ToUtf8(const std::string& bytes);

#endif
