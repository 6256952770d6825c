// The render room: drawing with OpenGL into whatever surface is current.
// It is given a GL context and a size, and knows nothing of where the pixels
// go (a window or an offscreen buffer). Its files may use OpenGL, GLU, the
// scene library and the images room's pixels; never SDL or a window system.
//
// This header: the GL headers as the room takes them.
#ifndef MODELVIEWER_RENDER_H
#define MODELVIEWER_RENDER_H

// The calls past OpenGL 1.1 that the renderer makes are declared too.
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glu.h>

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

#endif
