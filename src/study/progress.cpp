#include "study/progress.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace intersections {

Progress::Progress(std::ostream& out, bool enabled, std::size_t total)
    : out_(out), enabled_(enabled), total_(total), start_(std::chrono::steady_clock::now()) {}

void Progress::update(std::size_t done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (visible_ && now - shown_ < std::chrono::milliseconds(200) && done < total_) return;
  shown_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char line[160];
  if (done == 0 || seconds <= 0) {
    std::snprintf(line, sizeof line, "bounds-study: %zu of %zu instances", done, total_);
  } else {
    const double rate = static_cast<double>(done) / seconds;
    const double left = static_cast<double>(total_ - done) / rate;
    std::snprintf(line, sizeof line,
                  "bounds-study: %zu of %zu instances, %.1f a second, about %.0f s left", done,
                  total_, rate, std::ceil(left));
  }
  // Back to the start of the line, the new text, and the rest of the old one erased.
  out_ << '\r' << line << "\x1b[K" << std::flush;
  visible_ = true;
}

void Progress::clear() {
  if (!visible_) return;
  out_ << "\r\x1b[K" << std::flush;
  visible_ = false;
}

}  // namespace intersections
