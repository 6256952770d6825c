/* Preloaded into the bundled program by a test: writes to $TURN_LOG a line
 * for each SDL_PollEvent, "poll TYPE" (0 when no event was taken), and for
 * each SDL_GL_SwapBuffers, "swap", in the order of the calls. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // for RTLD_NEXT
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

static FILE* Log(void) {
  static FILE* log;
  if (!log && getenv("TURN_LOG")) {
    log = fopen(getenv("TURN_LOG"), "w");
    if (log) setvbuf(log, NULL, _IOLBF, 0);  // kept if the run is killed
  }
  return log;
}

int SDL_PollEvent(SDL_Event* event) {
  static int (*next)(SDL_Event*);
  if (!next) next = (int (*)(SDL_Event*))dlsym(RTLD_NEXT, "SDL_PollEvent");
  const int taken = next(event);
  if (Log()) fprintf(Log(), "poll %d\n", taken && event ? event->type : 0);
  return taken;
}

void SDL_GL_SwapBuffers(void) {
  static void (*next)(void);
  if (!next) next = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
  next();
  if (Log()) fputs("swap\n", Log());
}
