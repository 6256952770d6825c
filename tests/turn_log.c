/* Preloaded into the bundled program by a test: writes to $TURN_LOG a line
 * for each SDL_PollEvent, "poll TYPE" (0 when no event was taken), and for
 * each SDL_GL_SwapBuffers, "swap", in the order of the calls. */
#include <SDL.h> /* whose flags define _GNU_SOURCE, for RTLD_NEXT */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

static FILE* turns;

__attribute__((constructor)) static void OpenLog(void) {
  const char* path = getenv("TURN_LOG");
  if (path) turns = fopen(path, "w");
  if (turns) setvbuf(turns, NULL, _IOLBF, 0);  // kept if the run is killed
}

int SDL_PollEvent(SDL_Event* event) {
  static int (*next)(SDL_Event*);
  if (!next) next = (int (*)(SDL_Event*))dlsym(RTLD_NEXT, "SDL_PollEvent");
  const int taken = next(event);
  if (turns) fprintf(turns, "poll %d\n", taken && event ? event->type : 0);
  return taken;
}

void SDL_GL_SwapBuffers(void) {
  static void (*next)(void);
  if (!next) next = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
  next();
  if (turns) fputs("swap\n", turns);
}
