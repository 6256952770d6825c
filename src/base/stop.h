// A run asked to end by SIGINT, SIGTERM or SIGHUP (its terminal closed).
// Long work looks at the request between its steps, so that the run ends
// within a second whatever it is doing; the request then unwinds to the top
// of the program as a StopRequest, and what was being made is not left
// behind.
#ifndef MODELVIEWER_STOP_H
#define MODELVIEWER_STOP_H

#include <cstddef>

// What StopPoint throws once the run has been asked to end.
struct StopRequest {};

// From here on, SIGINT, SIGTERM and SIGHUP only note the request, and
// SIGPIPE and SIGXFSZ are ignored: a write to a pipe closed early, or past
// a file-size limit, fails (EPIPE, EFBIG) as any other failed write does,
// with the run's one line, instead of killing it.
void CatchStopSignals();
// Asks the run to end, as the signals do, so that work under way on
// another thread ends at its next stop point.
void RequestStop();
// Whether the run has been asked to end.
bool StopRequested();
// Throws StopRequest when the run has been asked to end. Cheap: one load.
void StopPoint();

// Long loops look for a stop once in this many steps: often enough that
// even their costliest steps end a run within a second, and seldom enough
// to cost nothing in their cheapest.
const size_t kStepsBetweenStopChecks = 4096;
// Whether step `step` of a loop is one that looks (the first is).
inline bool StopCheckDue(size_t step) {
  return step % kStepsBetweenStopChecks == 0;
}
// StopPoint at the steps that look.
inline void StopPointEvery(size_t step) {
  if (StopCheckDue(step)) StopPoint();
}

#endif
