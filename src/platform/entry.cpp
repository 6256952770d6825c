// The process entry where SDL has no start-up shim: it does what the shim
// does, then hands over to the program.
#ifndef _WIN32
#include <SDL.h>

#include <cstdlib>

extern "C" int SDL_main(int argc, char* argv[]);

// SDL is shut down at exit, as the shim arranges.
int main(int argc, char* argv[]) {
  std::atexit(SDL_Quit);
  return SDL_main(argc, argv);
}
#endif
