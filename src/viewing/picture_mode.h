// Pictures of files, written and not shown: --screenshot of one FILE, a
// --thumbnail, or a folder of pictures in one run. Drawn offscreen, with no
// display, where EGL can start.
#ifndef MODELVIEWER_PICTURE_MODE_H
#define MODELVIEWER_PICTURE_MODE_H

#include "input_files.h"
#include "messages.h"
#include "options.h"
#include "render.h"

// Opaque texture images go up in `opaquetextures` (GL_RGB or GL_BGRA_EXT).
// The exit status.
int RunPictures(const Options& options, GLenum opaquetextures,
                Messages& messages, InputFiles& inputs);

#endif
