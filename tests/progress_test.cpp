// The status line and what the three programs show on it, on a pipe in
// place of a terminal and with the time given by the test.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "evaluation/writing_progress.h"
#include "reporting/boolean_progress.h"
#include "study/study_progress.h"

namespace {

using intersections::StatusLine;
using intersections::WritingProgress;

// A pipe in place of a terminal: the line is written to its end [1], and
// drain() returns what has arrived so far without waiting.
struct TerminalPipe {
  int ends[2] = {-1, -1};
  bool opened = pipe(ends) == 0 && fcntl(ends[0], F_SETFL, O_NONBLOCK) == 0;
  ~TerminalPipe() {
    for (const int end : ends)
      if (end >= 0) close(end);
  }
  int operator[](int i) const { return ends[i]; }
  std::string drain() const {
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
      text.append(buffer, static_cast<std::size_t>(got));
    return text;
  }
};

TEST(StatusLine, EachTextReplacesTheOneBefore) {
  TerminalPipe pipeEnds;
  ASSERT_TRUE(pipeEnds.opened);
  struct Step {
    std::string text;   // shown; "" clears
    std::string wrote;  // what reaches the terminal
  };
  // A pipe has no width: 80 columns, so a text is cut to 79 characters.
  const std::string wide(100, 'w');
  const Step steps[] = {
      {"abc", "\rabc"},
      {"a", "\ra  "},  // blanks over the rest of the old text
      {"abcd", "\rabcd"},
      {"", "\r    \r"},  // as wide as the widest text shown
      {"", ""},          // a blank line is not blanked again
      {wide, std::string("\r").append(wide, 0, 79)},
      {"x", std::string("\rx").append(78, ' ')},
  };
  {
    StatusLine line(pipeEnds[1]);
    for (const Step& step : steps) {
      line.show(step.text);
      EXPECT_EQ(pipeEnds.drain(), step.wrote) << "showing \"" << step.text << "\"";
    }
  }
  std::string cleared(81, ' ');
  cleared.front() = cleared.back() = '\r';
  EXPECT_EQ(pipeEnds.drain(), cleared) << "cleared when it goes";
  StatusLine none(-1);
  none.show("abc");
  EXPECT_FALSE(none.active());
}

TEST(StatusLine, ThrottleAndDurations) {
  double now = 0;
  intersections::StatusThrottle throttle([&] { return now; });
  EXPECT_FALSE(throttle.ready(0.99));
  EXPECT_TRUE(throttle.ready(1.0));
  throttle.drawn(1.2);
  EXPECT_FALSE(throttle.ready(1.69));
  EXPECT_TRUE(throttle.ready(1.7));
  now = 3.5;
  EXPECT_EQ(throttle.now(), 3.5);

  struct Case {
    double seconds;
    const char* text;
  };
  const Case cases[] = {
      {0, "0 s"},
      {0.2, "1 s"},
      {59, "59 s"},
      {59.5, "1 min 0 s"},
      {3599, "59 min 59 s"},
      {3600, "1 h 0 min"},
      {86399, "23 h 59 min"},
      {86400, "1 d 0 h"},
      {1e20, "11574074074 d 1 h"},
  };
  for (const Case& c : cases) EXPECT_EQ(intersections::durationText(c.seconds), c.text);
  EXPECT_EQ(intersections::studyProgressText(0, 10, 0), "bounds-study: 0 of 10 instances");
  EXPECT_EQ(intersections::studyProgressText(5, 10, 2.0),
            "bounds-study: 5 of 10 instances, 2.5 a second, about 2 s left");
}

TEST(WritingProgress, ShowsALongWritingAfterItsFirstSecondAndClearsIt) {
  struct Step {
    double seconds;
    std::uint64_t written;
    std::string shown;  // what reaches the terminal at this step
  };
  const std::string first =
      "intersections: 61000 of 100000 lines (61.0 %), 46923 lines/s, 1 s left";
  const Step steps[] = {
      {0.6, 30000, ""},  // the first second
      {1.1, 60000, ""},  // 1.1 s + 40000 lines at 54545 a second: done within 2 s
      {1.3, 61000, "\r" + first},
      {1.5, 70000, ""},  // half a second between two frames
      {1.9, 99950, "\rintersections: 99950 of 100000 lines (99.9 %), 52605 lines/s, 1 s left"},
  };
  TerminalPipe pipeEnds;
  ASSERT_TRUE(pipeEnds.opened);
  const auto drain = [&] { return pipeEnds.drain(); };
  {
    StatusLine line(pipeEnds[1]);
    double now = 0;
    WritingProgress progress(line, 100000, [&] { return now; });
    for (const Step& step : steps) {
      now = step.seconds;
      progress.update(step.written);
      EXPECT_EQ(drain(), step.shown) << "at " << step.seconds << " s";
    }
    progress.finish();
    std::string blank(first.size() + 2, ' ');
    blank.front() = blank.back() = '\r';
    EXPECT_EQ(drain(), blank);
  }
  EXPECT_EQ(drain(), "") << "cleared once";
}

TEST(WritingProgress, DrawingIsLargeFromAHundredMillionEntries) {
  // 2n rows of n entries: 99998082 for n = 7071, 100026368 for n = 7072.
  EXPECT_EQ(intersections::drawingText(7071), "");
  EXPECT_EQ(intersections::drawingText(7072),
            "intersections: drawing the instance, 14144 outcomes of 7072 events ...");
}

// The Boolean bounds' line: nothing in their first second, then at most one
// frame each half second, and nothing at all on a line that is no terminal.
TEST(BooleanProgressLine, ShowsALongComputationAtMostTwiceASecond) {
  using intersections::BooleanProgress;
  using intersections::BooleanProgressLine;
  TerminalPipe pipeEnds;
  ASSERT_TRUE(pipeEnds.opened);
  const auto drain = [&] { return pipeEnds.drain(); };
  struct Step {
    double seconds;
    BooleanProgress progress;
    std::string shown;
  };
  using intersections::BooleanPhase;
  const std::string late =
      "Boolean bounds: order 3, upper, round 12, proof 1,245,184 nodes, gap 2.1e-11";
  const std::string shorter = "Boolean bounds: order 4, lower, round 1, search, gap 2.5e-01";
  const Step steps[] = {
      {0.9, {2, false, 40, 0.5, BooleanPhase::master, 0}, ""},
      {1.2, {3, true, 12, 2.1e-11, BooleanPhase::proof, 1245184}, "\r" + late},
      {1.6, {3, true, 13, 1e-12, BooleanPhase::master, 0}, ""},
      {1.8,
       {4, false, 1, 0.25, BooleanPhase::search, 0},
       // the shorter line blanks out the rest of the old one
       "\r" + shorter + std::string(late.size() - shorter.size(), ' ')},
  };
  for (const int terminal : {pipeEnds[1], -1}) {
    StatusLine line(terminal);
    double now = 0;
    BooleanProgressLine progress(line, [&] { return now; });
    for (const Step& step : steps) {
      now = step.seconds;
      progress.update(step.progress);
      EXPECT_EQ(drain(), terminal < 0 ? "" : step.shown) << "at " << step.seconds << " s";
    }
    progress.finish();
    std::string blank(late.size() + 2, ' ');
    blank.front() = blank.back() = '\r';
    EXPECT_EQ(drain(), terminal < 0 ? "" : blank);
  }
}

// The study's time estimate: nothing before its first minute or with nothing
// done or left; then once, the seconds so far scaled by the whole cost over
// the cost done.
TEST(TimeEstimate, ForeseesTheWholeStudyOnceAfterAMinute) {
  struct Call {
    double seconds;
    std::size_t done;
    double doneCost;
    std::size_t left;
    std::string shown;
  };
  const Call calls[] = {
      {59.9, 40, 10, 160, ""},
      {61, 0, 0, 200, ""},
      {61, 200, 40, 0, ""},
      {80, 50, 20, 150,
       "about 3 min 20 s for the whole study, 2 min 0 s left (foreseen from its first 50 "
       "instances)"},
      {90, 60, 25, 140, ""},  // said once only
  };
  intersections::TimeEstimate estimate(50);
  for (const Call& call : calls) {
    SCOPED_TRACE(call.seconds);
    EXPECT_EQ(estimate.after(call.seconds, call.done, call.doneCost, call.left).value_or(""),
              call.shown);
  }
}

}  // namespace
