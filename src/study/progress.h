#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>

namespace intersections {

// A line on a terminal saying how far a computation has come: "bounds-study:
// 57 of 200 instances, 41.3 a second, about 4 s left", redrawn in place at
// most five times a second. Writes nothing when not enabled.
class Progress {
 public:
  Progress(std::ostream& out, bool enabled, std::size_t total);
  // `done` of the total are finished.
  void update(std::size_t done);
  // Removes the line, so that a message or the end of the run starts on a clean line.
  void clear();

 private:
  std::ostream& out_;
  bool enabled_;
  std::size_t total_;
  std::chrono::steady_clock::time_point start_, shown_;
  bool visible_ = false;
};

}  // namespace intersections
