// End-to-end: the built executable with its answers on standard input.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "evaluation/number_format.h"
#include "instance/binomial.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFile;

const std::vector<std::string> prompts = {
    "Number of events. n=",
    "The probability (density) of the 1 entry in the matrix in percent (it must be an integer "
    "between 0 and 100): ",
    "The probability of the union of the events: ",
    "Maximum order of the intersections. m=",
};

std::string firstPrompts(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += prompts[i];
  return text;
}

std::vector<std::string> splitLines(const std::string& file) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = file.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(file.substr(start, end - start));
  }
  EXPECT_EQ(start, file.size()) << "the file does not end in CR LF";
  return lines;
}

std::size_t expectedLines(int n, int m) {
  std::size_t count = 0;
  for (int i = 1; i <= std::min(n, m); ++i)
    count += static_cast<std::size_t>(intersections::binomial(n, i));
  return count;
}

TEST(Program, WritesOneLinePerSetInTheFileFormat) {
  struct Case {
    std::string input;
    int n, m;
    double P;
    std::string warnings;  // on standard error, each after "intersections: warning: "
  };
  const Case cases[] = {
      {"3 100 0.9 3", 3, 3, 0.9, ""},                   // all on one line
      {"4\n100\n1\n2\n", 4, 2, 1.0, ""},                // one answer per line
      {"\n\n5\n\n\n100\n\n0.5\n\n4\n", 5, 4, 0.5, ""},  // blank lines between
      {"\t6\t\t100 \t 8e-1\t6", 6, 6, 0.8, ""},         // tabs, an exponent
      {"+2 +100 -1.0 +7", 2, 7, -1.0, ""},              // signs, m above n
      {"7 100 0.25 2147483647", 7, 7, 0.25, ""},
      // A point after a whole number starts the next answer: P = .5, m = 0.
      {"4 100.5 0.9 2", 4, 0, 0.5,
       "the density was read as 100; \".5\" is taken as the next answer\n"
       "the maximum order m was read as 0; \".9\" is not used\n"},
      {"3 100 0.9 3 4\n", 3, 3, 0.9,
       "the line goes on after the maximum order m; \"4\" is not used\n"},
      {"3 100 0.9 3 \t\r\n5 more\n", 3, 3, 0.9, ""},  // only blanks left on m's line
  };
  for (const Case& c : cases) {
    TempDir dir;
    const auto result = runProgram(dir.path, c.input);
    EXPECT_EQ(result.exitStatus, 0) << c.input << "\n" << result.err;
    EXPECT_EQ(result.out, firstPrompts(4));
    std::string warnings = c.warnings;
    for (std::size_t at = 0; at < warnings.size(); at = warnings.find('\n', at) + 1)
      warnings.insert(at, "intersections: warning: ");
    EXPECT_EQ(result.err, warnings);
    // At density 100 every row is all ones, so every set has probability P.
    const std::vector<std::string> lines = splitLines(readFile(dir.path / "prob.txt"));
    EXPECT_EQ(lines.size(), expectedLines(c.n, c.m)) << c.input;
    for (const std::string& line : lines)
      ASSERT_EQ(line, intersections::formatProbability(c.P)) << c.input;
  }
}

TEST(Program, RandomInstanceLinesAreMultiplesOfTheWeight) {
  TempDir dir;
  const auto result = runProgram(dir.path, "10 30 1 10");
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::vector<std::string> lines = splitLines(readFile(dir.path / "prob.txt"));
  ASSERT_EQ(lines.size(), 1023u);
  // P = 1 over 20 rows: each value is k/20 for some row count k, and the
  // single events cover every row between them.
  double singles = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const double value = std::stod(lines[i]);
    const double rows = value * 20;
    EXPECT_NEAR(rows, std::round(rows), 1e-6) << lines[i];
    if (i < 10) singles += rows;
  }
  EXPECT_GE(singles, 20 - 1e-6);
}

TEST(Program, OrderBelowOneEmptiesTheFile) {
  for (const std::string m : {"0", "-1", "-2147483648"}) {
    TempDir dir;
    writeFile(dir.path / "prob.txt", "old content\r\n");
    const auto result = runProgram(dir.path, "3 50 0.5 " + m);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, firstPrompts(4));
    EXPECT_TRUE(std::filesystem::exists(dir.path / "prob.txt"));
    EXPECT_EQ(readFile(dir.path / "prob.txt"), "") << "m = " << m;
  }
}

TEST(Program, RefusesBadAnswersAndKeepsTheOldFile) {
  struct Case {
    std::string input;
    int status;
    std::size_t promptsShown;
    std::string message;
  };
  // The message of a refused answer, naming the text found in its place.
  auto refused = [](const std::string& must, const std::string& found) {
    return "intersections: " + must + " (found \"" + found + "\")\n";
  };
  const std::string needN = "the number of events n must be a whole number from 1 to 1073741823";
  const std::string needDensity =
      "the density must be a whole number of at least 1 (percent; 100 or more gives a matrix of "
      "ones)";
  const std::string needP = "the probability of the union P must be a finite number";
  const std::string needM =
      "the maximum order m must be a whole number from -2147483648 to 2147483647";
  const std::string longWord(40, 'x');
  const Case cases[] = {
      {"", 1, 1, "intersections: the input ended before the number of events n was given\n"},
      {" \n\t", 1, 1, "intersections: the input ended before the number of events n was given\n"},
      {"5", 1, 2, "intersections: the input ended before the density was given\n"},
      {"5 50", 1, 3,
       "intersections: the input ended before the probability of the union P was given\n"},
      {"5 50 0.5\n", 1, 4, "intersections: the input ended before the maximum order m was given\n"},
      {"abc 50 0.5 2", 1, 1, refused(needN, "abc")},
      {"0 50 0.5 2", 1, 1, refused(needN, "0")},
      {"-3 50 0.5 2", 1, 1, refused(needN, "-3")},
      {"0.9 50 0.5 2", 1, 1, refused(needN, "0.9")},                  // the rest of the word too
      {"1073741824 50 0.5 2", 1, 1, refused(needN, "1073741824")},    // 2n would not fit in 32 bits
      {"99999999999 50 0.5 2", 1, 1, refused(needN, "99999999999")},  // not a 32-bit integer
      {"5 0 0.5 2", 1, 2, refused(needDensity, "0")},  // would never find a row with a one
      {"5 -7 0.5 2", 1, 2, refused(needDensity, "-7")},
      {"5 x 0.5 2", 1, 2, refused(needDensity, "x")},
      {"5.5 50 0.5 2", 1, 2,  // ".5" is left for the density
       "intersections: warning: the number of events n was read as 5; \".5\" is taken as the "
       "next answer\n" +
           refused(needDensity, ".5")},
      {"5e3 50 0.5 2", 1, 2,
       "intersections: warning: the number of events n was read as 5; \"e3\" is taken as the "
       "next answer\n" +
           refused(needDensity, "e3")},
      {"5 \x1b[2J 0.5 2", 1, 2,
       refused(needDensity, "\\x1B[2J")},  // no control character on the terminal
      {"5 50 zero 2", 1, 3, refused(needP, "zero")},
      {"5 50 1e999 2", 1, 3, refused(needP, "1e999")},
      {"5 50 0.5 two", 1, 4, refused(needM, "two")},
      {"4 50 80% 2", 1, 4, refused(needM, "%")},  // 80 was taken as P
      {"5 50 0.5 -", 1, 4, refused(needM, "-")},
      {"5 50 0.5 2147483648", 1, 4, refused(needM, "2147483648")},
      {"5 50 0.5 " + longWord, 1, 4, refused(needM, longWord.substr(0, 32) + "...")},
      {"1073741823 50 0.5 1", 3, 1, ""},  // far more memory than any machine: refused at once
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string old = "0.100000000\r\nold\r\n";
    writeFile(dir.path / "prob.txt", old);
    const auto result = runProgram(dir.path, c.input);
    EXPECT_EQ(result.exitStatus, c.status) << "input: " << c.input;
    EXPECT_EQ(result.out, firstPrompts(c.promptsShown)) << "input: " << c.input;
    if (!c.message.empty()) {
      EXPECT_EQ(result.err, c.message) << "input: " << c.input;
    } else {
      // 1073741823 * 256 MB of packed columns, 64 bytes a row, 4 an event, and
      // 4 MB for the program: 274878041859.99998 MB, rounded up.
      EXPECT_EQ(result.err.rfind("intersections: n = 1073741823 needs about 274878041860 MB for "
                                 "its outcome matrix and the program, more than the ",
                                 0),
                0u)
          << result.err;
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    }
    EXPECT_EQ(readFile(dir.path / "prob.txt"), old) << "input: " << c.input;
  }
}

TEST(Program, OutOfMemoryIsReportedNotACrash) {
#if defined(INTERSECTIONS_SANITIZED_BUILD)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
  TempDir dir;
  writeFile(dir.path / "prob.txt", "kept\r\n");
  // 100000 rows of 50000 entries need about 600 MB even packed; the address
  // space is capped at 512 MB.
  const auto result = runProgram(dir.path, "50000 50 0.5 1", [] {
    const rlimit limit{512u << 20, 512u << 20};
    setrlimit(RLIMIT_AS, &limit);
  });
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.err, "intersections: out of memory while building the instance\n");
  EXPECT_EQ(readFile(dir.path / "prob.txt"), "kept\r\n");
#endif
}

TEST(Program, EachPromptArrivesBeforeTheProgramWaits) {
  TempDir dir;
  testing_support::RunningProgram program =
      testing_support::startProgram({.program = testing_support::programPath(), .dir = dir.path});
  // Each answer is written only once its prompt has come through the pipe:
  // a prompt held back in a buffer would leave both sides waiting.
  const char* answers[] = {"4\n", "100\n", "0.5\n", "2\n"};
  for (std::size_t i = 0; i < 4; ++i) {
    ASSERT_TRUE(testing_support::readOutputUntil(program, prompts[i]))
        << "prompt " << i + 1 << " never arrived";
    ASSERT_TRUE(testing_support::sendInput(program, answers[i]));
  }
  const auto result = testing_support::finishProgram(program);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, firstPrompts(4));
  EXPECT_EQ(splitLines(readFile(dir.path / "prob.txt")).size(), 10u);
}

// A FIFO as prob.txt, read slowly by a thread of its own, 2048 bytes every 8
// ms, so that a small file takes a few seconds to write on any machine. Once
// `stopAt` bytes have come, sends SIGTERM to the process whose id arrives on
// `pids`.
struct SlowReader {
  fs::path fifo;
  std::size_t bytes = 0;
  std::thread thread;
  SlowReader(const fs::path& path, std::size_t stopAt, int pids) : fifo(path) {
    if (mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    thread = std::thread([this, stopAt, pids] {
      const int fd = open(fifo.c_str(), O_RDONLY);
      char buffer[2048];
      for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0; usleep(8000)) {
        bytes += static_cast<std::size_t>(got);
        pid_t writer = 0;
        if (bytes >= stopAt && read(pids, &writer, sizeof writer) == sizeof writer)
          kill(writer, SIGTERM);
      }
      close(fd);
    });
  }
  // Waits for the end of the file; lets the thread go if no writer came.
  std::size_t finish() {
    const int unblock = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (unblock >= 0) close(unblock);
    thread.join();
    return bytes;
  }
};

TEST(Program, ShowsProgressOnATerminalAndNowhereElse) {
  // n = m = 16: 65535 lines, 3.4 s at this pace, 64 kB of it in the FIFO's
  // buffer ahead of the reader. SIGTERM 400000 bytes in, past 28672 lines
  // written, by when the first second is over and the first frame is shown.
  struct Case {
    const char* name;
    bool terminal;
    std::string answers;
    std::size_t stopAt;  // SIGTERM once the FIFO has read this much; 0: no FIFO
    const char* frame;   // what every frame shows; nullptr: nothing on the terminal
  };
  const Case cases[] = {
      {"a long writing stopped by SIGTERM", true, "16 50 0.5 16", 400000, " of 65535 lines ("},
      {"the same, standard error a pipe", false, "16 50 0.5 16", 400000, nullptr},
      {"a large instance", true, "7072 5 0.5 1", 0,
       "intersections: drawing the instance, 14144 outcomes of 7072 events ..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    int pids[2];
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(pipe2(pids, O_NONBLOCK), 0);
    std::optional<SlowReader> reader;
    if (c.stopAt > 0) reader.emplace(dir.path / "prob.txt", c.stopAt, pids[0]);
    const auto result = runProgram(dir.path, c.answers, [&] {
      const pid_t self = getpid();
      if (write(pids[1], &self, sizeof self) != sizeof self) _exit(126);
      if (c.terminal) dup2(terminal, 2);
    });
    const std::size_t bytes = reader ? reader->finish() : 0;
    std::string screen;
    fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
      screen.append(buffer, static_cast<std::size_t>(got));
    for (const int fd : {master, terminal, pids[0], pids[1]}) close(fd);

    EXPECT_EQ(result.out, firstPrompts(4));
    EXPECT_EQ(result.err, "");
    if (c.stopAt == 0) {
      EXPECT_EQ(result.exitStatus, 0);
    } else {
      EXPECT_EQ(result.signal, SIGTERM);
      EXPECT_EQ(bytes % 13, 0u);
      EXPECT_LT(bytes, 65535u * 13);
    }
    if (c.frame == nullptr) {
      EXPECT_EQ(screen, "");
      continue;
    }
    // Frames, each rewritten from a carriage return; at the end, blanks over
    // the longest and the cursor back at the start of the line.
    ASSERT_GE(screen.size(), 2u);
    ASSERT_EQ(screen.front(), '\r');
    ASSERT_EQ(screen.back(), '\r');
    const std::size_t clear = screen.rfind('\r', screen.size() - 2);
    const std::string blank = screen.substr(clear + 1, screen.size() - clear - 2);
    EXPECT_EQ(blank.find_first_not_of(' '), std::string::npos) << "not cleared: " << blank;
    std::vector<std::string> frames;
    for (std::size_t at = 0; at < clear; at = screen.find('\r', at + 1))
      frames.push_back(screen.substr(at + 1, screen.find('\r', at + 1) - at - 1));
    ASSERT_FALSE(frames.empty());
    for (const std::string& frame : frames) {
      EXPECT_EQ(frame.rfind("intersections: ", 0), 0u) << frame;
      EXPECT_NE(frame.find(c.frame), std::string::npos) << frame;
      EXPECT_LE(frame.find_last_not_of(' ') + 1, blank.size()) << frame;
    }
    if (c.stopAt == 0) {
      EXPECT_EQ(frames, std::vector<std::string>{c.frame});
    }
  }
}

TEST(Program, RunsInTheSameSecondWriteTheSameFile) {
  // The seed is the clock in whole seconds: runs that read their last answer
  // in the same second draw the same instance. Retry when the clock ticks.
  bool compared = false;
  for (int attempt = 0; attempt < 20 && !compared; ++attempt) {
    TempDir first, second;
    const std::time_t before = std::time(nullptr);
    const auto a = runProgram(first.path, "12 40 0.7 12");
    const auto b = runProgram(second.path, "12 40 0.7 12");
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(a.exitStatus, 0);
    ASSERT_EQ(b.exitStatus, 0);
    if (before != after) continue;
    compared = true;
    const std::string file = readFile(first.path / "prob.txt");
    EXPECT_EQ(splitLines(file).size(), 4095u);
    EXPECT_EQ(readFile(second.path / "prob.txt"), file);
  }
  EXPECT_TRUE(compared) << "the clock ticked during every attempt";
}

}  // namespace
