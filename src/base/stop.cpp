#include "base/stop.h"

#include <csignal>
#include <cstring>

namespace {

// A signal handler can reach nothing but a flag of static storage.
volatile std::sig_atomic_t stop_requested = 0;

void OnStopSignal(int) { stop_requested = 1; }

}  // namespace

void CatchStopSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

bool StopRequested() { return stop_requested != 0; }

void StopPoint() {
  if (stop_requested) throw StopRequest();
}
