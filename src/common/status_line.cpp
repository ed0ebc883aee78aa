#include "common/status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "common/system_calls.h"

namespace intersections {

namespace {

void writeAll(int descriptor, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = systemCalls().write(descriptor, text.data() + done, text.size() - done);
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

}  // namespace

std::string durationText(double seconds) {
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

StatusThrottle::StatusThrottle(std::function<double()> seconds) : seconds_(std::move(seconds)) {
  if (!seconds_) {
    seconds_ = [start = std::chrono::steady_clock::now()] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
  }
}

}  // namespace intersections
