// The viewing room: the viewing mode, a short loop over the other rooms. It
// reads a file into a scene (scene library), then frame after frame takes a
// person's steps from the window (platform), poses the scene, draws it
// (render) and shows it. Its files may use every other room.
#ifndef MODELVIEWER_VIEWING_MODE_H
#define MODELVIEWER_VIEWING_MODE_H

#include "input_files.h"
#include "messages.h"
#include "options.h"
#include "render.h"

// Shows options.file framed in the window, in its own materials, until a
// person ends it; or writes its first frame with --screenshot. Opaque
// texture images go up in `opaquetextures` (GL_RGB or GL_BGRA_EXT). The
// exit status.
int RunViewingMode(const Options& options, GLenum opaquetextures,
                   Messages& messages, InputFiles& inputs);

#endif
