// The modes room: the ways a file is shown, each a short loop over the
// rooms below: the window a person handles (here), and pictures written to
// files (picture_mode.h). Its files may use every room but the document's
// program.
//
// The viewing mode reads a file into a scene (scene room), then frame
// after frame takes a person's steps from the window (platform), poses the
// scene, draws it (render) and shows it. Files after the first are read on
// a thread of their own (window_files.h).
#ifndef MODELVIEWER_VIEWING_MODE_H
#define MODELVIEWER_VIEWING_MODE_H

#include "base/input_files.h"
#include "base/messages.h"
#include "base/options.h"
#include "render/render.h"

// Shows options.files (a folder among them standing for its 3DS files)
// framed in the window one at a time, each in its own materials, until a
// person ends it. Opaque texture images go up in `opaquetextures` (GL_RGB
// or GL_BGRA_EXT). The exit status.
int RunViewingMode(const Options& options, GLenum opaquetextures,
                   Messages& messages, InputFiles& inputs);

#endif
