// Pictures of files, written and not shown: --screenshot of one FILE, a
// --thumbnail, or a folder of pictures in one run. Drawn offscreen, with no
// display, where EGL can start.
#ifndef MODELVIEWER_PICTURE_MODE_H
#define MODELVIEWER_PICTURE_MODE_H

#include "base/input_files.h"
#include "base/messages.h"
#include "base/options.h"
#include "render/render.h"

// Opaque texture images go up in `opaquetextures` (GL_RGB or GL_BGRA_EXT).
// The exit status.
int RunPictures(const Options& options, GLenum opaquetextures,
                Messages& messages, InputFiles& inputs);

#endif
