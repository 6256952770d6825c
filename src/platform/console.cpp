// The console of the diagnostic build, and the process entry where SDL has
// no start-up shim.
#include <cstdio>
#include <cstdlib>

#include "platform.h"

#ifdef _WIN32
#include <windows.h>

// SDL's start-up shim sent standard output and error into files; put them
// back on a console window.
void OpenConsole() {
  AllocConsole();
  std::freopen("CON", "w", stdout);
  std::freopen("CON", "w", stderr);
}

#else

// Standard output and error already reach the terminal.
void OpenConsole() {}

extern "C" int SDL_main(int argc, char* argv[]);

// Where SDL has no start-up shim, do what it does: shut SDL down at exit, then
// hand over to the program.
int main(int argc, char* argv[]) {
  std::atexit(SDL_Quit);
  return SDL_main(argc, argv);
}

#endif
