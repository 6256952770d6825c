/* Preloaded into the programs by the tests: writes to $TURN_LOG a line for
 * each SDL_PollEvent, "poll TYPE" (0 when no event was taken), for each
 * SDL_GL_SwapBuffers, "swap", and for each look at the queue that leaves it
 * as it is (SDL_PeepEvents with SDL_PEEKEVENT: the viewing mode waiting while
 * its picture stands), "peek COUNT" (0 when it is empty), in the order of the
 * calls. */
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

int SDL_PeepEvents(SDL_Event* events, int count, SDL_eventaction action,
                   Uint32 mask) {
  static int (*next)(SDL_Event*, int, SDL_eventaction, Uint32);
  if (!next)
    next = (int (*)(SDL_Event*, int, SDL_eventaction, Uint32))dlsym(
        RTLD_NEXT, "SDL_PeepEvents");
  const int found = next(events, count, action, mask);
  if (turns && action == SDL_PEEKEVENT) fprintf(turns, "peek %d\n", found);
  return found;
}
