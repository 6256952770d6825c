// The info room: --info, over the scene and base rooms, with no window and
// no OpenGL. What the program read from a file, for people (text) or for
// scripts (one JSON document). Written as it is made, so that memory does
// not follow the length of what is written.
#ifndef MODELVIEWER_INFO_H
#define MODELVIEWER_INFO_H

#include <functional>
#include <string>

#include "base/input_files.h"
#include "base/messages.h"
#include "base/options.h"
#include "scene/scene.h"

// The image file that a stored texture name leads to, or "" for none.
using ImageFinder = std::function<std::string(const std::string& stored)>;

// Where --info writes: text in pieces, and whether a write has failed.
class InfoOutput {
 public:
  virtual ~InfoOutput() = default;
  virtual void Write(const std::string& text) = 0;
  virtual bool Failed() const = 0;
};

// The scene of `file` at `frame` (the start of the segment for -1; past its
// end, the frame that the picture shows), every placement's box after every
// transform, in the file's own coordinates (z up). What is left out at that
// frame for a number that is not finite is added to `warnings`. Writing
// ends at the first write that fails.
void WriteInfoText(const Scene& scene, const std::string& file, long frame,
                   const ImageFinder& find, InfoOutput& out,
                   std::vector<std::string>& warnings);
// `oneline`: the document on one line, as JSON Lines has it.
void WriteInfoJson(const Scene& scene, const std::string& file, long frame,
                   const ImageFinder& find, InfoOutput& out, bool oneline);

// The same, whole, as a string.
std::string InfoText(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find);
std::string InfoJson(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find);

// --info[=json] FILE...: each file's scene at the frame asked for, on
// standard output, with textures found as the viewer would load them; with
// several FILEs, the JSON form is one document a line, and a file that is
// refused gets a line and is passed over. Status 0; 1 when a file was
// refused, or, with one line, when the output cannot be written.
int RunInfo(const Options& options, const Messages& messages,
            InputFiles& inputs);

#endif
