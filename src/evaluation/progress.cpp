#include "evaluation/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

namespace intersections {

namespace {

// Entries of the outcome matrix from which drawing it is worth a word.
constexpr double largeInstance = 1e8;

void writeAll(int descriptor, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(descriptor, text.data() + done, text.size() - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // a terminal that cannot be written to is no reason to stop
    }
  }
}

std::size_t terminalWidth(int descriptor) {
  winsize size{};
  if (::ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col;
  return 80;
}

// A time left in whole seconds, rounded up, as the two largest units.
std::string duration(double seconds) {
  const auto total = static_cast<std::uint64_t>(std::ceil(std::min(seconds, 1e15)));
  const std::uint64_t minutes = total / 60, hours = minutes / 60, days = hours / 24;
  char text[64];
  if (total < 60) {
    std::snprintf(text, sizeof text, "%llu s", static_cast<unsigned long long>(total));
  } else if (minutes < 60) {
    std::snprintf(text, sizeof text, "%llu min %llu s", static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(total % 60));
  } else if (hours < 24) {
    std::snprintf(text, sizeof text, "%llu h %llu min", static_cast<unsigned long long>(hours),
                  static_cast<unsigned long long>(minutes % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu d %llu h", static_cast<unsigned long long>(days),
                  static_cast<unsigned long long>(hours % 24));
  }
  return text;
}

}  // namespace

void StatusLine::show(const std::string& text) {
  if (text.empty()) return clear();
  if (!active()) return;
  // One column short of the width: a line that fills it would wrap on some
  // terminals, and the carriage return would then go back to the wrong line.
  const std::string fitted = text.substr(0, terminalWidth(terminal_) - 1);
  std::string line(1, '\r');
  line += fitted;
  if (fitted.size() < shown_) line.append(shown_ - fitted.size(), ' ');
  writeAll(terminal_, line);
  shown_ = std::max(shown_, fitted.size());
}

void StatusLine::clear() {
  if (!active() || shown_ == 0) return;
  std::string blank(shown_ + 2, ' ');
  blank.front() = blank.back() = '\r';
  writeAll(terminal_, blank);
  shown_ = 0;
}

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
  const std::string left =
      rate > 0 ? duration(static_cast<double>(total - written) / rate) + " left" : "time unknown";
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
    : line_(line), total_(total), seconds_(std::move(seconds)) {
  if (!seconds_) {
    seconds_ = [start = std::chrono::steady_clock::now()] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
  }
}

void WritingProgress::update(std::uint64_t written) {
  const double elapsed = seconds_();
  if (elapsed < nextLook_) return;
  const double rate = static_cast<double>(written) / elapsed;
  const double left = rate > 0 ? static_cast<double>(total_ - written) / rate : HUGE_VAL;
  // A writing about to end is not worth a line that flashes and goes.
  if (!shown_ && elapsed + left < 2.0) return;
  shown_ = true;
  nextLook_ = elapsed + 0.5;
  line_.show(progressText(written, total_, elapsed));
}

}  // namespace intersections
