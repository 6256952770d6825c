/* Preloaded into the viewing mode: for each Page Down it takes, writes to
 * $FLIPCLOCK_OUT the milliseconds, wall-clock and processor time of the
 * whole process, from taking the key to presenting the first frame of the
 * file that it brings (the first swap after the file's GL state is set up,
 * which glDepthFunc marks). */
#include <SDL.h> /* whose flags define _GNU_SOURCE, for RTLD_NEXT */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static FILE* out;
static double wall, cpu;
static int state; /* 0: idle, 1: key taken, 2: the next file set up */

static double Seconds(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

__attribute__((constructor)) static void Open(void) {
  const char* path = getenv("FLIPCLOCK_OUT");
  if (path) out = fopen(path, "w");
  if (out) setvbuf(out, NULL, _IOLBF, 0);
}

int SDL_PollEvent(SDL_Event* event) {
  static int (*next)(SDL_Event*);
  if (!next) next = (int (*)(SDL_Event*))dlsym(RTLD_NEXT, "SDL_PollEvent");
  const int taken = next(event);
  if (taken && event && event->type == SDL_KEYDOWN &&
      event->key.keysym.sym == SDLK_PAGEDOWN) {
    wall = Seconds(CLOCK_MONOTONIC);
    cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    state = 1;
  }
  return taken;
}

void glDepthFunc(unsigned int func) {
  static void (*next)(unsigned int);
  if (!next) next = (void (*)(unsigned int))dlsym(RTLD_NEXT, "glDepthFunc");
  next(func);
  if (state == 1) state = 2;
}

void SDL_GL_SwapBuffers(void) {
  static void (*next)(void);
  if (!next) next = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
  next();
  if (state == 2 && out)
    fprintf(out, "%.1f %.1f\n", 1000 * (Seconds(CLOCK_MONOTONIC) - wall),
            1000 * (Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu));
  if (state == 2) state = 0;
}
