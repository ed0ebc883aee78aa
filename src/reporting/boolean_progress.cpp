#include "reporting/boolean_progress.h"

#include <cstdio>
#include <string>
#include <utility>

#include "common/byte_sizes.h"

namespace intersections {

std::string booleanProgressText(const BooleanProgress& progress) {
  static constexpr const char* phases[] = {"master", "search", "proof"};
  char text[120];
  std::snprintf(text, sizeof text, "Boolean bounds: order %d, %s, round %d, %s",
                static_cast<int>(progress.order), progress.upper ? "upper" : "lower",
                static_cast<int>(progress.round), phases[static_cast<int>(progress.phase)]);
  std::string line = text;
  if (progress.nodes != 0) line.append(" ").append(groupedDigits(progress.nodes)).append(" nodes");
  std::snprintf(text, sizeof text, ", gap %.1e", progress.gap);
  return line.append(text);
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
