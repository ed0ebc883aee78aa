#include "evaluation/termination_signals.h"

#include <csignal>

namespace intersections {

namespace {

// The signals of the standard set whose default action is to end the process
// (with or without a core file); the real-time ones are added at run time,
// since their range depends on the C library.
constexpr int standardSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGIO
    SIGIO,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// The first held signal that arrived, 0 for none. Written only by the
// handler, and by hold and release while no signal is caught.
volatile std::sig_atomic_t arrived = 0;

bool caught[NSIG] = {};
int depth = 0;

// The signals that the kernel raises for a fault of the instruction being
// run, as well as when they are sent.
bool reportsFaults(int sig) {
  switch (sig) {
    case SIGSEGV:
    case SIGBUS:
    case SIGILL:
    case SIGFPE:
    case SIGTRAP:
    case SIGSYS:
      return true;
  }
  return false;
}

extern "C" void rememberSignal(int sig, siginfo_t* info, void*) {
  // A positive si_code is the kernel's own (a bad address, an illegal
  // instruction); kill, sigqueue and raise give 0 or less. The program cannot
  // go on after a fault, so the signal gets its default action back and is
  // raised again: it stays pending while this handler runs, then ends the
  // process as the fault itself would have.
  if (reportsFaults(sig) && info != nullptr && info->si_code > 0) {
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigaction(sig, &byDefault, nullptr);
    raise(sig);
    return;
  }
  if (arrived == 0) arrived = sig;
}

void hold(int sig) {
  struct sigaction current {};
  caught[sig] = false;
  if (sigaction(sig, nullptr, &current) != 0) return;
  if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction remember {};
  remember.sa_sigaction = rememberSignal;
  // One handler at a time. No SA_RESTART: an open or a write that blocks
  // (a FIFO without a reader, or whose reader does not read) must fail with
  // EINTR, or the program could not end until the call returns by itself.
  sigfillset(&remember.sa_mask);
  remember.sa_flags = SA_SIGINFO;
  caught[sig] = sigaction(sig, &remember, nullptr) == 0;
}

}  // namespace

void holdTerminationSignals() {
  if (depth++ > 0) return;
  arrived = 0;
  for (const int sig : standardSignals) hold(sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX && sig < NSIG; ++sig) hold(sig);
}

bool terminationSignalArrived() { return arrived != 0; }

void releaseTerminationSignals() {
  if (depth == 0 || --depth > 0) return;
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  for (int sig = 1; sig < NSIG; ++sig) {
    if (caught[sig]) sigaction(sig, &byDefault, nullptr);
    caught[sig] = false;
  }
  // Read after the default actions are back: a signal that comes later than
  // this read takes effect by itself.
  const int sig = arrived;
  arrived = 0;
  if (sig != 0) std::raise(sig);
}

}  // namespace intersections
