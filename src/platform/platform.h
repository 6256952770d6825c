// The platform room: the one room that knows SDL's video and events. It
// opens the OpenGL window, turns its events into the viewing mode's steps,
// shows frames, catches stop signals, and holds the console and the process
// entry, and speaks for the libraries under them (libraries.h). Its files
// may use SDL, Xlib, OpenGL for the window's context, and the scene
// library.
//
// This header: the OpenGL window.
#ifndef MODELVIEWER_PLATFORM_H
#define MODELVIEWER_PLATFORM_H

#include <string>

#include "base/options.h"

struct SDL_Surface;

// The window both programs draw in.
struct WindowFormat {
  int width = 800, height = 600;
  int depthbits = 16;
  // The viewing mode's window: resizable, with buffer swaps in step with
  // the display.
  bool resizable = false;
  int alphabits = 0;  // asked for only where more than 0
  int samples = 0;    // multisampling, where more than 1
  // A window for a picture, taken where it cannot be drawn offscreen: its
  // reasons do not point to --screenshot.
  bool forpicture = false;
  // The environment's: the video driver and display, and whether each
  // resize is to make a new GL context.
  Switches switches;
};

// Whether the address space that the process may still map (under `ulimit
// -v`) holds what an OpenGL context takes. Mesa's software rasteriser, which
// draws here, maps about 384 MB for its libraries, its shader compiler and
// the context, and 2 x (a thread's stack + 64 MB) for each of its threads
// (one a processor, or LP_NUM_THREADS): the C library reserves 64 MB of heap
// for each thread that allocates. Short of that, the rasteriser crashes
// where an allocation fails, so the context is not tried: false, with the
// reason.
bool RoomForGlContext(std::string& why);

// SDL's video (the X11 driver unless another is asked for) and an OpenGL
// window of 8 bits a colour, double-buffered, as `format` says, once
// RoomForGlContext agrees. The window's surface, or null with the reason.
SDL_Surface* OpenGlWindow(const WindowFormat& format, std::string& why);

// The window, made `width` x `height`. False, with the reason, when it
// cannot be; `fresh` says whether the GL context is a new one, whose state
// and objects are gone: SDL keeps the context where it can, and makes a new
// one where it cannot, which the context current after it tells. The
// `newcontexts` switch makes a new window and context at every resize.
bool ResizeGlWindow(const WindowFormat& format, bool& fresh, std::string& why);

// Closes the window and SDL's video.
void CloseGlWindow();

// The window's title, in UTF-8.
void SetWindowTitle(const std::string& title);

// Shows the frame just drawn.
void ShowFrame();

// Milliseconds since SDL started.
unsigned int Ticks();

// Waits out the rest of a frame of at most about 60 a second that began at
// `start`, where the swap did not wait for the display (as under a virtual
// X server).
void PaceFrame(unsigned int start);

// Makes standard output and error visible where the platform needs it.
void OpenConsole();

#endif
