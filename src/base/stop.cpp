#include "base/stop.h"

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

// A signal handler can reach nothing but a flag of static storage; a
// lock-free atomic one, since the window's loading thread reads it too.
std::atomic<int> stop_requested{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "the stop flag is set from a signal handler");

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

void RequestStop() { stop_requested = 1; }

bool StopRequested() { return stop_requested != 0; }

void StopPoint() {
  if (stop_requested) throw StopRequest();
}
