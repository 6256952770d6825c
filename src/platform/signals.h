// SIGINT and SIGTERM: a request to end, seen where the program looks for it.
#ifndef MODELVIEWER_SIGNALS_H
#define MODELVIEWER_SIGNALS_H

// From here on, SIGINT and SIGTERM only note the request.
void CatchStopSignals();
// Whether SIGINT or SIGTERM asked the run to end.
bool StopRequested();

#endif
