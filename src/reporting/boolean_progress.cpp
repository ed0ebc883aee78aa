#include "reporting/boolean_progress.h"

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
    : line_(line), throttle_(std::move(seconds)) {}

void BooleanProgressLine::update(const BooleanProgress& progress) {
  if (!line_.active()) return;
  const double now = throttle_.now();
  if (!throttle_.ready(now)) return;
  throttle_.drawn(now);
  line_.show(booleanProgressText(progress));
}

}  // namespace intersections
