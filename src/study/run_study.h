#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace intersections {

// Exit statuses of bounds-study.
enum StudyStatus : int {
  studyDone = 0,       // the summary was written
  studyWrongSide = 1,  // the summary was written, and some rigorous bound lies on the wrong side
  studyTextNotWritten = 1,  // --help or --version could not be written, as union-bounds says it
  studyRefused = 2,         // a command line or a file that cannot be followed; nothing computed
  studyTooLarge = 3,        // the instances do not fit in memory
  studyInternalError = 4
};

// The whole program on the arguments after its name: studies the instances
// (or reads instances files), writes the summary to `out`, and messages, one
// line each, starting "bounds-study: ", to `err`. `terminal` is the
// descriptor of standard error when that is a terminal, where a status line
// shows how far the instances have come; -1 for none. Returns the exit status.
int runBoundsStudy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   int terminal = -1);

}  // namespace intersections
