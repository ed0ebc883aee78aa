#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "common/status_line.h"

namespace intersections {

// "bounds-study: 57 of 200 instances, 41.3 a second, about 4 s left".
std::string studyProgressText(std::size_t done, std::size_t total, double seconds);

// How far a study has come, on a status line, as often as StatusThrottle
// allows. `seconds` tells the time since the study began (by default the
// steady clock since construction).
class StudyProgress {
 public:
  StudyProgress(StatusLine& line, std::size_t total, std::function<double()> seconds = {});

  // `done` of the total are finished.
  void update(std::size_t done);
  // Clears the line, so that a message or the end of the run starts on a clean line.
  void clear() { line_.clear(); }

 private:
  StatusLine& line_;
  std::size_t total_;
  StatusThrottle throttle_;
};

}  // namespace intersections
