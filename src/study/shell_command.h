#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace intersections {

// Standard input for a command: writes up to `capacity` bytes into `buffer`
// and returns how many; 0 at the end.
using InputSource = std::function<std::size_t(char* buffer, std::size_t capacity)>;

// What a command run by runShellCommand did.
struct CommandOutcome {
  std::string startError;    // why it could not be started; "" when it ran
  int exitStatus = -1;       // its exit status; -1 when a signal ended it
  int signal = 0;            // the signal that ended it, 0 when it exited
  std::string out;           // its standard output, up to the limit
  bool outCut = false;       // it wrote more than the limit
  std::string errFirstLine;  // the first line of its standard error, without its line end
};

// Runs `/bin/sh -c command` in a child process and waits for it: its
// standard input is what `input` gives, then end of file; its standard
// output and error go to pipes, read while the input is written, so that a
// command that does not read its input, or writes much before it does,
// cannot stall either side (a command that stops reading gets no more, and
// no SIGPIPE reaches this process). The child has descriptors 0, 1 and 2
// only, no signal blocked and SIGPIPE at its default action; the rest of
// its environment is this process's. Safe to call from several threads at
// once; the child is always waited for, also when `input` throws (it is
// then killed). Keeps `outLimit` bytes of standard output and the first 200
// bytes of standard error. Throws std::system_error for a pipe or poll that
// fails.
CommandOutcome runShellCommand(const std::string& command, const InputSource& input,
                               std::size_t outLimit);

}  // namespace intersections
