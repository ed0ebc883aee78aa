#include "union_bounds/boolean_progress.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace intersections {

std::string booleanProgressText(const BooleanProgress& progress) {
  char text[120];
  std::snprintf(text, sizeof text, "Boolean bounds: order %d, %s, round %d, gap %.1e",
                static_cast<int>(progress.order), progress.upper ? "upper" : "lower",
                static_cast<int>(progress.round), progress.gap);
  return text;
}

BooleanProgressLine::BooleanProgressLine(StatusLine& line, std::function<double()> seconds)
    : line_(line), seconds_(std::move(seconds)) {
  if (!seconds_) {
    seconds_ = [start = std::chrono::steady_clock::now()] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
  }
}

void BooleanProgressLine::update(const BooleanProgress& progress) {
  if (!line_.active()) return;
  const double elapsed = seconds_();
  if (elapsed < nextLook_) return;
  nextLook_ = elapsed + 0.5;
  line_.show(booleanProgressText(progress));
}

}  // namespace intersections
