/* Preloaded into a viewer: counts the frames it presents through
 * SDL_GL_SwapBuffers and, at exit, writes to $SWAPCOUNT_OUT the number of
 * frames, the milliseconds from $START_NS (the launch, in ns since the epoch)
 * to the first presented frame, and the frames per second after it. With
 * SWAPCOUNT_NODELAY=1, SDL_Delay returns at once, so that a paced viewer
 * shows how fast it could draw. With $SWAPCOUNT_TIMES, the time of each
 * presented frame (ns since the epoch) is written there, a line each. With
 * SWAPCOUNT_QUIT=1, the viewer is sent SIGTERM once its first frame is shown,
 * and ends as a person's quit. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static long long frames;
static double first, last;
static FILE* times;

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

void SDL_GL_SwapBuffers(void) {
  static void (*next)(void);
  if (!next) next = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
  next();
  last = Now();
  if (frames++ == 0) {
    first = last;
    const char* path = getenv("SWAPCOUNT_TIMES");
    if (path) times = fopen(path, "w");
    if (times) setvbuf(times, NULL, _IOLBF, 0);  // kept if the run is killed
    if (getenv("SWAPCOUNT_QUIT")) raise(SIGTERM);
  }
  if (times) fprintf(times, "%.0f\n", last * 1e9);
}

void SDL_Delay(unsigned int ms) {
  static void (*next)(unsigned int);
  static int skip = -1;
  if (skip < 0) skip = getenv("SWAPCOUNT_NODELAY") != NULL;
  if (skip) return;
  if (!next) next = (void (*)(unsigned int))dlsym(RTLD_NEXT, "SDL_Delay");
  next(ms);
}

__attribute__((destructor)) static void Report(void) {
  if (times) fclose(times);
  const char* out = getenv("SWAPCOUNT_OUT");
  const char* start = getenv("START_NS");
  FILE* f = out ? fopen(out, "w") : NULL;
  if (!f) return;
  double launched = start ? atoll(start) * 1e-9 : first;
  fprintf(f, "frames %lld first_frame_ms %.1f fps %.1f\n", frames,
          (first - launched) * 1000,
          frames > 1 ? (frames - 1) / (last - first) : 0.0);
  fclose(f);
}
