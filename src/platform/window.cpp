#include <SDL.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/libraries.h"
#include "platform/platform.h"
// After the headers that name Status, which Xlib makes a macro.
#include <GL/glx.h>

namespace {

const unsigned long long kMegabyte = 1ull << 20;

// The rasteriser's threads: one a processor that the process may run on,
// or LP_NUM_THREADS, at most 32.
unsigned long long RasteriserThreads() {
  long threads = sysconf(_SC_NPROCESSORS_ONLN);
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) threads = CPU_COUNT(&cpus);
  if (const char* asked = std::getenv("LP_NUM_THREADS"))
    threads = std::atol(asked);
  return static_cast<unsigned long long>(threads < 0    ? 0
                                         : threads > 32 ? 32
                                                        : threads);
}

// A new thread's stack, as the C library gives it.
unsigned long long ThreadStack() {
  pthread_attr_t attributes;
  size_t stack = 8 * kMegabyte;
  if (pthread_getattr_default_np(&attributes) == 0) {
    pthread_attr_getstacksize(&attributes, &stack);
    pthread_attr_destroy(&attributes);
  }
  return stack;
}

// What an OpenGL context takes of the address space, as measured with Mesa
// 22's llvmpipe (platform.h).
unsigned long long GlContextBytes() {
  return 384 * kMegabyte +
         RasteriserThreads() * 2 * (ThreadStack() + 64 * kMegabyte);
}

// The address space mapped now: the first figure of /proc/self/statm, in
// pages; 0 where it cannot be read.
unsigned long long MappedBytes() {
  unsigned long long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}

std::string Megabytes(unsigned long long bytes) {
  return std::to_string(bytes / kMegabyte) + " MB";
}

// A frame's share of a second at about 60 a second.
const unsigned int kFrameMs = 17;

Uint32 WindowFlags(const WindowFormat& format) {
  return SDL_HWSURFACE | SDL_OPENGL | (format.resizable ? SDL_RESIZABLE : 0);
}

// The X11 driver needs a display (the entry sets it as SDL's driver where
// the person named none: SetLibrarySwitches).
bool HasDisplay(const WindowFormat& format, std::string& why) {
  const std::string& driver = format.switches.videodriver;
  if ((driver.empty() || driver == "x11") && !format.switches.display) {
    why = "no display (DISPLAY is not set)";
    if (!format.forpicture) why += "; --screenshot draws without one";
    return false;
  }
  return true;
}

// The GL context current now, as the window system knows it.
const void* CurrentContext() { return glXGetCurrentContext(); }

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

bool RoomForGlContext(std::string& why) {
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return true;
  const unsigned long long allowed = limit.rlim_cur, used = MappedBytes();
  const unsigned long long needed = GlContextBytes();
  if (used < allowed && allowed - used >= needed) return true;
  why = "not enough address space for OpenGL: " + Megabytes(allowed) +
        " may be mapped (ulimit -v), " + Megabytes(used) +
        " of it is, and an OpenGL context takes about " + Megabytes(needed) +
        " more";
  return false;
}

SDL_Surface* OpenGlWindow(const WindowFormat& format, std::string& why) {
  if (!HasDisplay(format, why) || !RoomForGlContext(why)) return nullptr;
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

namespace {

// The window closed and opened again at the new size, with a new GL
// context, its title and key repeat kept.
bool Reopen(const WindowFormat& format, std::string& why) {
  char* title = nullptr;
  SDL_WM_GetCaption(&title, nullptr);
  const std::string kept = title ? title : "";
  int delay = 0, interval = 0;
  SDL_GetKeyRepeat(&delay, &interval);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (!OpenGlWindow(format, why)) return false;
  SetWindowTitle(kept);
  SDL_EnableKeyRepeat(delay, interval);
  return true;
}

}  // namespace

bool ResizeGlWindow(const WindowFormat& format, bool& fresh, std::string& why) {
  const void* before = CurrentContext();
  if (format.switches.newcontexts) {
    if (!Reopen(format, why)) return false;
  } else if (!SDL_SetVideoMode(format.width, format.height, 32,
                               WindowFlags(format))) {
    why = std::string("cannot resize the window: ") + SDL_GetError();
    return false;
  }
  fresh = format.switches.newcontexts || CurrentContext() != before;
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
