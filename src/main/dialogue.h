#pragma once

#include <iosfwd>

namespace intersections {

// Exit statuses of a run.
enum ExitStatus : int {
  exitDone = 0,          // prob.txt written in full
  exitBadAnswer = 1,     // an answer was not a number, out of range, or missing
  exitOutputFailed = 2,  // prob.txt could not be created or written
  exitTooLarge = 3,      // the instance does not fit in memory
  exitInternalError = 4  // an error the program did not expect
};

// The whole run: asks for n, the density, P and m on `out` and reads each from
// `in` (formatted, classic locale), seeds std::rand from the clock right after
// the last answer, draws the instance and writes "prob.txt" in the working
// directory. Writes nothing to `out` but the prompts. A refused answer or a
// failure gives one line on `err` and the status saying what went wrong; the
// file is only touched once every answer has been accepted. An n whose
// instance would not fit in memory (see memoryLimit) is refused as soon as it
// is read. With a `terminal` (a descriptor, -1 for none) it also shows there,
// on one line rewritten in place and cleared at the end, that a large
// instance is being drawn and how far a long writing has got.
int runIntersections(std::istream& in, std::ostream& out, std::ostream& err, int terminal = -1);

}  // namespace intersections
