#include "study/study_progress.h"

#include <cstdio>
#include <utility>

namespace intersections {

std::string studyProgressText(std::size_t done, std::size_t total, double seconds) {
  char text[160];
  if (done == 0 || seconds <= 0) {
    std::snprintf(text, sizeof text, "bounds-study: %zu of %zu instances", done, total);
    return text;
  }
  const double rate = static_cast<double>(done) / seconds;
  std::snprintf(text, sizeof text, "bounds-study: %zu of %zu instances, %.1f a second, about ",
                done, total, rate);
  return text + durationText(static_cast<double>(total - done) / rate) + " left";
}

StudyProgress::StudyProgress(StatusLine& line, std::size_t total, std::function<double()> seconds)
    : line_(line), total_(total), throttle_(std::move(seconds)) {}

void StudyProgress::update(std::size_t done) {
  if (!line_.active()) return;
  const double now = throttle_.now();
  if (!throttle_.ready(now)) return;
  throttle_.drawn(now);
  line_.show(studyProgressText(done, total_, now));
}

std::optional<std::string> TimeEstimate::after(double seconds, std::size_t done, double doneCost,
                                               std::size_t left) {
  if (shown_ || left == 0 || done == 0 || seconds < firstLook || doneCost <= 0) return {};
  shown_ = true;
  const double remaining = (totalCost_ - doneCost) * (seconds / doneCost);
  return "about " + durationText(seconds + remaining) + " for the whole study, " +
         durationText(remaining) + " left (foreseen from its first " + std::to_string(done) +
         " instance" + (done == 1 ? "" : "s") + ")";
}

}  // namespace intersections
