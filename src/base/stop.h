// A run asked to end by SIGINT, SIGTERM or SIGHUP (its terminal closed).
// Long work looks at the request between its steps, so that the run ends
// within a second whatever it is doing; the request then unwinds to the top
// of the program as a StopRequest, and what was being made is not left
// behind.
#ifndef MODELVIEWER_STOP_H
#define MODELVIEWER_STOP_H

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

#endif
