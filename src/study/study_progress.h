#pragma once

#include <cstddef>
#include <functional>
#include <optional>
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

// Says once, after the first minute, how long the whole study looks like
// taking: the seconds so far scaled by the cost of the whole study over the
// cost of the instances done. A grid takes each second's settings in turn,
// cheap ones often first; after a minute a few of every setting are usually
// done, and the estimate rests less on the cost model.
class TimeEstimate {
 public:
  static constexpr double firstLook = 60;  // seconds of study before the estimate

  explicit TimeEstimate(double totalCost) : totalCost_(totalCost) {}
  // `done` instances of cost `doneCost` have taken `seconds`, `left` are
  // still to do; returns the line to show, once, when it is time:
  // "about 3 min 20 s for the whole study, 2 min 20 s left (foreseen from
  // its first 160 instances)".
  std::optional<std::string> after(double seconds, std::size_t done, double doneCost,
                                   std::size_t left);

 private:
  double totalCost_;
  bool shown_ = false;
};

}  // namespace intersections
