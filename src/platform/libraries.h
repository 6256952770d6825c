// The libraries under the programs (Xlib, the GL, EGL) speak only through
// the run's own lines: their warnings are switched off, what they must say
// becomes part of a reason, and the X server's failures end the run with
// one line.
#ifndef MODELVIEWER_LIBRARIES_H
#define MODELVIEWER_LIBRARIES_H

#include <string>

#include "base/messages.h"
#include "base/options.h"

// The environment's switches that the programs set for the libraries, in
// this one place: SDL's video driver (X11, where the person named none:
// SDL would otherwise fall back to drivers that draw on a text console,
// writing escape codes to the terminal), and the GL's own lines kept off
// standard error (EGL's and GLX's warnings when a driver fails, Mesa's when
// its shader cache cannot be made) where the person has not set them. The
// entry calls it for every run that draws, before the GL starts and while
// no other thread runs (setenv races with readers of the environment).
void SetLibrarySwitches(const Switches& switches);

// Where the X server fails under a window (it ends, closes the connection
// or refuses a request), the run ends at once with status 1 and one line
// through `messages`, instead of the window system's own lines.
void EndOnDisplayFailure(const Messages& messages);

// While one lives (a window opening), the X server's refusals do not end
// the run: the first is kept, to be part of the window's reason.
class DisplayRefusals {
 public:
  DisplayRefusals();
  DisplayRefusals(const DisplayRefusals&) = delete;
  DisplayRefusals& operator=(const DisplayRefusals&) = delete;
  ~DisplayRefusals();
  const std::string& first() const { return first_; }

 private:
  std::string first_;
};

// While one lives (a GL starting), what is written to standard error is
// caught instead: the lines a library writes even when told to be quiet
// ("failed to load driver"), kept to be part of a reason. Not where the
// person set one of the GL's switches for its lines (SetLibrarySwitches
// first).
class CaughtErrors {
 public:
  CaughtErrors();
  CaughtErrors(const CaughtErrors&) = delete;
  CaughtErrors& operator=(const CaughtErrors&) = delete;
  ~CaughtErrors();
  // Ends the catch: what was written, its lines joined by "; ".
  std::string Lines();

 private:
  int saved_ = -1, caught_ = -1;
};

#endif
