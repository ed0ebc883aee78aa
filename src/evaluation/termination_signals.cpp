#include "evaluation/termination_signals.h"

#include <csignal>
#include <cstddef>
#include <iterator>

namespace intersections {

namespace {

constexpr int heldSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The first held signal that arrived, 0 for none. Written only by the
// handler, and by hold and release while no signal is caught.
volatile std::sig_atomic_t arrived = 0;

bool caught[std::size(heldSignals)] = {};
int depth = 0;

extern "C" void rememberSignal(int sig) {
  if (arrived == 0) arrived = sig;
}

}  // namespace

void holdTerminationSignals() {
  if (depth++ > 0) return;
  arrived = 0;
  for (std::size_t i = 0; i < std::size(heldSignals); ++i) {
    struct sigaction current {};
    caught[i] = false;
    if (sigaction(heldSignals[i], nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction remember {};
    remember.sa_handler = rememberSignal;
    // One handler at a time; SA_RESTART keeps system calls from failing with
    // EINTR because of a signal that is only remembered.
    sigfillset(&remember.sa_mask);
    remember.sa_flags = SA_RESTART;
    caught[i] = sigaction(heldSignals[i], &remember, nullptr) == 0;
  }
}

bool terminationSignalArrived() { return arrived != 0; }

void releaseTerminationSignals() {
  if (depth == 0 || --depth > 0) return;
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  for (std::size_t i = 0; i < std::size(heldSignals); ++i) {
    if (caught[i]) sigaction(heldSignals[i], &byDefault, nullptr);
    caught[i] = false;
  }
  // Read after the default actions are back: a signal that comes later than
  // this read takes effect by itself.
  const int sig = arrived;
  arrived = 0;
  if (sig != 0) std::raise(sig);
}

}  // namespace intersections
