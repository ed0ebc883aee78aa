#pragma once

// Every signal that a process can catch and whose default action ends it:
// SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1,
// SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ,
// SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSYS and the real-time signals. The
// kernel copies a write into the page cache one page at a time and gives up
// between two pages when such a signal is fatal, so a write that straddles a
// page can be cut part-way. While they are held, each one that arrives is
// caught and only remembered: a write in progress completes, and the writer
// decides when the signal takes effect. A blocking call (an open or a write
// of a FIFO) is not restarted after one: it fails with EINTR, so that the
// writer can end at once.
//
// SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP and SIGSYS raised by a fault of
// the program itself, rather than sent, are not held: they end the process
// by their default action as soon as the handler returns.

namespace intersections {

// Starts holding those of the signals above that are at their default action
// (an ignored signal stays ignored, a handler of someone else's stays in
// place). Holds nest: only the outermost call and its release change anything.
void holdTerminationSignals();

// Whether one of the held signals has arrived since the outermost hold.
// Reads one flag and makes no system call.
bool terminationSignalArrived();

// Ends one hold. The outermost release gives each signal back its default
// action and, if one arrived while held, raises it, which ends the process by
// that signal as if it had arrived just now.
void releaseTerminationSignals();

}  // namespace intersections
