#pragma once

#include <cstddef>
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

// A time in whole seconds, rounded up, as its two largest units: "42 s",
// "3 min 5 s", "2 h 10 min", "4 d 3 h".
std::string durationText(double seconds);

// When a status line is worth drawing: not in the first second of what it
// shows, then at most once every half second, so that a short task never
// flashes a line and a long one costs nothing for its updates. `seconds`
// tells the time since the task began (by default the steady clock since
// construction).
class StatusThrottle {
 public:
  static constexpr double quietSeconds = 1.0;
  static constexpr double frameSeconds = 0.5;

  explicit StatusThrottle(std::function<double()> seconds = {});

  // The seconds since the task began.
  double now() const { return seconds_(); }
  // Whether a frame may be drawn at `now`.
  bool ready(double now) const { return now >= next_; }
  // A frame was drawn at `now`: the next one waits half a second.
  void drawn(double now) { next_ = now + frameSeconds; }

 private:
  std::function<double()> seconds_;
  double next_ = quietSeconds;
};

}  // namespace intersections
