// The render room: drawing with OpenGL into whatever surface is current.
// It is given a GL context and a size, and knows nothing of where the pixels
// go (a window or an offscreen buffer). Its files may use OpenGL, GLU, the
// scene library and the images room's pixels; never SDL or a window system.
//
// This header: the GL headers as the room takes them, and reading back the
// frame just drawn.
#ifndef MODELVIEWER_RENDER_H
#define MODELVIEWER_RENDER_H

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstddef>
#include <vector>

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

// The pixels of the frame just drawn, before it is shown: `width` x `height`
// red, green, blue bytes, bottom row first, as OpenGL reads them.
std::vector<unsigned char> ReadFrame(int width, int height);

#endif
