#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace intersections {

// Exit statuses of union-bounds.
enum BoundsStatus : int {
  boundsDone = 0,     // the bounds were written
  boundsBadFile = 1,  // the file cannot be read, is malformed, or fits no probability space
  boundsUsage = 2,    // the command line cannot be followed
  boundsOutOfMemory = 3,
  boundsInternalError = 4  // an error the program did not expect
};

// The whole program on the arguments after its name: reads the file, writes
// the table or the CSV to `out`, and messages, one line each, starting
// "union-bounds: ", to `err`. `terminal` is the descriptor of standard error
// when that is a terminal, where a long computation of the Boolean bounds
// shows its progress; -1 for none. Returns the exit status.
int runUnionBounds(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   int terminal = -1);

}  // namespace intersections
