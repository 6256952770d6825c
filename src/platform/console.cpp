// The console of the diagnostic build.
#include <cstdio>

#include "platform/platform.h"

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

#endif
