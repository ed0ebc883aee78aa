#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace intersections {

// Exit statuses of bounds-study.
enum StudyStatus : int {
  studyDone = 0,       // the summary was written
  studyWrongSide = 1,  // the summary was written, and some rigorous bound lies on the wrong side
  studyRefused = 2,    // a command line or a file that cannot be followed; nothing computed
  studyTooLarge = 3,   // the instances do not fit in memory
  studyInternalError = 4
};

// The whole program on the arguments after its name: studies the instances
// (or reads instances files), writes the summary to `out`, and messages, one
// line each, starting "bounds-study: ", to `err`. With `showProgress` a line
// on `err` is kept up to date while instances are computed. Returns the exit status.
int runBoundsStudy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool showProgress);

// The processors this process may run on (sched_getaffinity), at least 1.
int availableProcessors();

}  // namespace intersections
