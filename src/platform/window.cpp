#include <GL/gl.h>
#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/libraries.h"
#include "platform/platform.h"

namespace {

// A frame's share of a second at about 60 a second.
const unsigned int kFrameMs = 17;

Uint32 WindowFlags(const WindowFormat& format) {
  return SDL_HWSURFACE | SDL_OPENGL | (format.resizable ? SDL_RESIZABLE : 0);
}

// SDL falls back to drivers that draw on a text console, writing escape
// codes to the terminal; the X11 driver is taken unless one is asked for.
bool ChooseVideoDriver(bool forpicture, std::string& why) {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (!driver || !*driver) {
    setenv("SDL_VIDEODRIVER", "x11", 1);
    driver = "x11";
  }
  const char* display = std::getenv("DISPLAY");
  if (std::strcmp(driver, "x11") == 0 && (!display || !*display)) {
    why = "no display (DISPLAY is not set)";
    if (!forpicture) why += "; --screenshot draws without one";
    return false;
  }
  return true;
}

// SDL's video and the window, as OpenGlWindow says.
SDL_Surface* StartGlWindow(const WindowFormat& format, std::string& why) {
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    why = std::string("cannot initialise video: ") + SDL_GetError();
    return nullptr;
  }
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthbits);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  if (format.resizable) SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
  if (format.alphabits > 0)
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alphabits);
  if (format.samples > 1) {
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, format.samples);
  }
  SDL_Surface* surface =
      SDL_SetVideoMode(format.width, format.height, 32, WindowFlags(format));
  if (!surface)
    why = std::string("cannot open the OpenGL window: ") + SDL_GetError();
  return surface;
}

}  // namespace

SDL_Surface* OpenGlWindow(const WindowFormat& format, std::string& why) {
  if (!ChooseVideoDriver(format.forpicture, why)) return nullptr;
  QuietenTheGl();
  // A window that the X server refuses, or that the GL cannot draw in, is
  // one reason, with what they said of it, not their lines.
  DisplayRefusals refusals;
  CaughtErrors caught;
  SDL_Surface* surface = StartGlWindow(format, why);
  const std::string said = caught.Lines();
  if (surface && refusals.first().empty()) return surface;
  if (!refusals.first().empty())
    why = "cannot open the OpenGL window: " + refusals.first();
  if (!said.empty()) why += " (" + said + ")";
  CloseGlWindow();
  return nullptr;
}

bool ResizeGlWindow(const WindowFormat& format, bool& fresh, std::string& why) {
  if (!SDL_SetVideoMode(format.width, format.height, 32, WindowFlags(format))) {
    why = std::string("cannot resize the window: ") + SDL_GetError();
    return false;
  }
  // Where the platform gives a new GL context, the state set before is
  // gone with the old one (lighting is on in ours from the start).
  fresh = !glIsEnabled(GL_LIGHTING);
  return true;
}

void PaceFrame(unsigned int start) {
  const Uint32 spent = SDL_GetTicks() - start;
  if (spent < kFrameMs) SDL_Delay(kFrameMs - spent);
}

void CloseGlWindow() { SDL_Quit(); }

void SetWindowTitle(const std::string& title) {
  SDL_WM_SetCaption(title.c_str(), title.c_str());
}

void ShowFrame() { SDL_GL_SwapBuffers(); }

unsigned int Ticks() { return SDL_GetTicks(); }
