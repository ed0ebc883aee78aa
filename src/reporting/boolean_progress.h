#pragma once

#include <functional>
#include <string>

#include "bounds/boolean_bounds.h"
#include "common/status_line.h"

namespace intersections {

// "Boolean bounds: order 3, upper, round 12, gap 2.1e-11".
std::string booleanProgressText(const BooleanProgress& progress);

// How far the Boolean bounds have got, on a status line, as often as
// StatusThrottle allows. `seconds` tells the time since the computation
// began (by default the steady clock since construction).
class BooleanProgressLine {
 public:
  explicit BooleanProgressLine(StatusLine& line, std::function<double()> seconds = {});

  // The latest report; meant as the BooleanProgressReport of the computation.
  void update(const BooleanProgress& progress);
  // Clears the line, before anything else is written to the terminal.
  void finish() { line_.clear(); }

 private:
  StatusLine& line_;
  StatusThrottle throttle_;
};

}  // namespace intersections
