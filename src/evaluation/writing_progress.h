#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/status_line.h"

namespace intersections {

// "intersections: <written> of <total> lines (<percent> %), <rate> lines/s,
// <time> left", the rate and the time left from the average rate so far.
std::string progressText(std::uint64_t written, std::uint64_t total, double seconds);

// What to show while the instance of n events is drawn, or "" when that is
// quick (fewer than 10^8 entries, about a second of rand calls).
std::string drawingText(std::int32_t n);

// How far the writing of `total` lines has got, on a status line, as often
// as StatusThrottle allows, and not while the whole writing looks like
// taking less than two seconds. `seconds` tells the time since the writing
// began (by default the steady clock since construction).
class WritingProgress {
 public:
  WritingProgress(StatusLine& line, std::uint64_t total, std::function<double()> seconds = {});

  // The lines written so far; meant to be called every few thousand lines.
  void update(std::uint64_t written);
  // Clears the line, before the file is closed (which may end the process).
  void finish() { line_.clear(); }

 private:
  StatusLine& line_;
  std::uint64_t total_;
  StatusThrottle throttle_;
  bool shown_ = false;
};

}  // namespace intersections
