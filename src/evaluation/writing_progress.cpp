#include "evaluation/writing_progress.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace intersections {

namespace {

// Entries of the outcome matrix from which drawing it is worth a word.
constexpr double largeInstance = 1e8;

}  // namespace

std::string progressText(std::uint64_t written, std::uint64_t total, double seconds) {
  const double rate = seconds > 0 ? static_cast<double>(written) / seconds : 0;
  const double percent =
      total > 0
          ? std::floor(1000.0 * static_cast<double>(written) / static_cast<double>(total)) / 10.0
          : 100.0;
  char text[160];
  std::snprintf(text, sizeof text, "intersections: %llu of %llu lines (%.1f %%), %.0f lines/s, ",
                static_cast<unsigned long long>(written), static_cast<unsigned long long>(total),
                percent, rate);
  const std::string left = rate > 0
                               ? durationText(static_cast<double>(total - written) / rate) + " left"
                               : "time unknown";
  return text + left;
}

std::string drawingText(std::int32_t n) {
  const double rows = 2.0 * n;
  if (rows * n < largeInstance) return "";
  return "intersections: drawing the instance, " + std::to_string(2 * std::int64_t{n}) +
         " outcomes of " + std::to_string(n) + " events ...";
}

WritingProgress::WritingProgress(StatusLine& line, std::uint64_t total,
                                 std::function<double()> seconds)
    : line_(line), total_(total), throttle_(std::move(seconds)) {}

void WritingProgress::update(std::uint64_t written) {
  const double elapsed = throttle_.now();
  if (!throttle_.ready(elapsed)) return;
  const double rate = static_cast<double>(written) / elapsed;
  const double left = rate > 0 ? static_cast<double>(total_ - written) / rate : HUGE_VAL;
  // A writing about to end is not worth a line that flashes and goes.
  if (!shown_ && elapsed + left < 2.0) return;
  shown_ = true;
  throttle_.drawn(elapsed);
  line_.show(progressText(written, total_, elapsed));
}

}  // namespace intersections
