#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace intersections {

// One line on a terminal, rewritten in place: each text replaces the one
// before (a carriage return, the text cut to the terminal's width, blanks
// over the rest of the old one). Writes nothing when `terminal` is -1.
class StatusLine {
 public:
  explicit StatusLine(int terminal) : terminal_(terminal) {}
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;
  ~StatusLine() { clear(); }

  bool active() const { return terminal_ >= 0; }
  // Shows `text` in place of what is there; "" clears the line.
  void show(const std::string& text);
  // Blanks the line and puts the cursor at its start; nothing if it is blank.
  void clear();

 private:
  int terminal_;
  std::size_t shown_ = 0;  // characters on the line
};

// "intersections: <written> of <total> lines (<percent> %), <rate> lines/s,
// <time> left", the rate and the time left from the average rate so far.
std::string progressText(std::uint64_t written, std::uint64_t total, double seconds);

// What to show while the instance of n events is drawn, or "" when that is
// quick (fewer than 10^8 entries, about a second of rand calls).
std::string drawingText(std::int32_t n);

// How far the writing of `total` lines has got, on a status line: nothing
// in the first second, nor while the whole writing looks like taking less
// than two seconds; then redrawn every half second. `seconds` tells the time
// since the writing began (by default the steady clock since construction).
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
  std::function<double()> seconds_;
  double nextLook_ = 1.0;  // seconds after the start
  bool shown_ = false;
};

}  // namespace intersections
