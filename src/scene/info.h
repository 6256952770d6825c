// --info: what the program read from a file, for people (text) or for
// scripts (one JSON document), without a window.
#ifndef MODELVIEWER_INFO_H
#define MODELVIEWER_INFO_H

#include <functional>
#include <string>

#include "input_files.h"
#include "messages.h"
#include "options.h"
#include "scene.h"

// The image file that a stored texture name leads to, or "" for none.
using ImageFinder = std::function<std::string(const std::string& stored)>;

// The scene of `file` at `frame`, every placement's box after every
// transform, in the file's own coordinates (z up).
std::string InfoText(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find);
std::string InfoJson(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find);

// --info[=json] FILE: the file's scene at the frame asked for, on standard
// output, with textures looked up as the viewer looks them up. Status 0.
int RunInfo(const Options& options, const Messages& messages,
            InputFiles& inputs);

#endif
