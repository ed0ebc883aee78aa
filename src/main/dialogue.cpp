#include "main/dialogue.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <istream>
#include <limits>
#include <locale>
#include <new>
#include <ostream>
#include <string>

#include "common/byte_sizes.h"
#include "common/memory_limit.h"
#include "evaluation/intersections.h"
#include "evaluation/line_count.h"
#include "instance/limits.h"
#include "instance/random_instance.h"
#include "main/answer_text.h"
#include "main/free_space.h"
#include "main/input_error.h"
#include "main/misread_answer.h"

namespace intersections {

namespace {

static_assert(largestEventCount == 1073741823, "the question for n names the largest n");

struct Question {
  const char* prompt;
  const char* name;  // as it appears in messages
  const char* wanted;
};

constexpr Question askN{"Number of events. n=", "the number of events n",
                        "a whole number from 1 to 1073741823"};
constexpr Question askDensity{
    "The probability (density) of the 1 entry in the matrix in percent (it must be an integer "
    "between 0 and 100): ",
    "the density", "a whole number of at least 1 (percent; 100 or more gives a matrix of ones)"};
constexpr Question askP{"The probability of the union of the events: ",
                        "the probability of the union P", "a finite number"};
constexpr Question askM{"Maximum order of the intersections. m=", "the maximum order m",
                        "a whole number from -2147483648 to 2147483647"};

// A refused answer: the message has been written, the run ends with the status.
struct Refusal {
  int status;
};

// Refuses the answer to `question`, naming the text that stood in its place.
[[noreturn]] void refuse(const Question& question, std::istream& in, const std::string& taken,
                         std::ostream& err) {
  err << "intersections: " << question.name << " must be " << question.wanted << " (found \""
      << textFound(in, taken) << "\")\n";
  throw Refusal{exitBadAnswer};
}

// Writes the prompt and reads the answer with formatted extraction; refuses
// it when it cannot be read or `valid` rejects it.
template <typename Number, typename Valid>
Number ask(const Question& question, Valid valid, std::istream& in, std::ostream& out,
           std::ostream& err, bool standardInput) {
  out << question.prompt << std::flush;
  in >> std::ws;
  if (in.peek() == std::char_traits<char>::eof()) {
    if (const auto reason = standardInput ? standardInputError() : std::nullopt) {
      err << "intersections: cannot read standard input: " << *reason << '\n';
    } else {
      err << "intersections: the input ended before " << question.name << " was given\n";
    }
    throw Refusal{exitBadAnswer};
  }
  Number value{};
  std::string taken;
  if (!extractNumber(in, value, taken) || !valid(value)) refuse(question, in, taken, err);
  return value;
}

// A generous estimate of the peak memory of the instance: the packed columns
// (2n bits per event, in 64-bit words) and, per row, its weight twice and its
// line in the evaluator's table of equal sums.
double instanceBytes(std::int32_t n) {
  const double rows = 2.0 * n;
  const double packed = n * std::ceil(rows / 64.0) * 8.0;
  return packed + rows * 64.0 + n * 4.0;
}

// The program itself beside the instance: a run with n = 1 peaks at 3.8 MB
// of resident memory. Counted in full, although part of it is in use, and so
// counted as used, when the check is made: that part stands for what the
// kernel charges besides (page tables, the cache of the file written).
constexpr double programBytes = 4.0 * 1048576.0;

int run(std::istream& in, LookaheadBuffer& lookahead, std::ostream& out, std::ostream& err,
        int terminal, bool standardInput) {
  const auto n = ask<std::int32_t>(
      askN, [](std::int32_t value) { return value >= 1 && value <= largestEventCount; }, in, out,
      err, standardInput);
  // At once, so that an n that cannot fit is not followed by three more questions.
  const double needed = instanceBytes(n) + programBytes;
  if (const auto limit = memoryLimit(); limit && needed > limit->bytes) {
    err << "intersections: n = " << n << " needs about " << megabytesUp(needed)
        << " MB for its outcome matrix and the program, more than the "
        << megabytesDown(limit->bytes) << " MB " << limit->source << '\n';
    return exitTooLarge;
  }
  warnOfMisreadAnswer(lookahead, askN.name, n, false, err);
  const auto density = ask<std::int32_t>(
      askDensity, [](std::int32_t value) { return value >= 1; }, in, out, err, standardInput);
  warnOfMisreadAnswer(lookahead, askDensity.name, density, false, err);
  const auto P = ask<double>(
      askP, [](double value) { return std::isfinite(value); }, in, out, err, standardInput);
  const auto m = ask<std::int32_t>(
      askM, [](std::int32_t) { return true; }, in, out, err, standardInput);
  warnOfMisreadAnswer(lookahead, askM.name, m, true, err);
  // Before anything is drawn or touched: a file that cannot fit would only
  // fill the disk and then fail.
  if (const auto shortage =
          spaceShortage(outputFileName, lineCount(n, m), shortestLineBytes(n, density, P))) {
    err << "intersections: " << *shortage << '\n';
    return exitOutputFailed;
  }

  std::srand(static_cast<unsigned>(std::time(nullptr)));

  StatusLine status(terminal);
  status.show(drawingText(n));
  const PackedColumns columns = generatePackedColumns(n, density);
  status.clear();
  const DoubleSequence weights = makeWeights(n, P);
  WritingProgress progress(status, lineCount(n, m));
  writeIntersectionProbabilities(m, weights, columns, status.active() ? &progress : nullptr);
  return exitDone;
}

}  // namespace

int runIntersections(std::istream& in, std::ostream& out, std::ostream& err, int terminal) {
  // Read through a buffer that can look ahead, to warn of a misread answer.
  LookaheadBuffer lookahead(in.rdbuf());
  std::istream answers(&lookahead);
  answers.imbue(std::locale::classic());
  try {
    return run(answers, lookahead, out, err, terminal, &in == &std::cin);
  } catch (const Refusal& refusal) {
    return refusal.status;
  } catch (const OutputError& error) {
    err << "intersections: " << error.what() << '\n';
    return exitOutputFailed;
  } catch (const std::bad_alloc&) {
    err << "intersections: out of memory while building the instance\n";
    return exitTooLarge;
  } catch (const std::exception& error) {
    err << "intersections: internal error: " << error.what() << '\n';
    return exitInternalError;
  }
}

}  // namespace intersections
