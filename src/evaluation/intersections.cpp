#include "evaluation/intersections.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>
#include <vector>

#include "evaluation/line_format.h"
#include "evaluation/set_walk.h"

namespace intersections {

namespace {

using Word = PackedColumns::Word;
constexpr std::size_t wordBits = PackedColumns::wordBits;

// Sets whose row counts are worked out ahead of their lines.
constexpr std::int32_t countBlock = 256;

// Lines between two reports to the progress: a few milliseconds of writing,
// so that its look at the clock costs nothing next to the writes.
constexpr std::uint64_t linesPerReport = 4096;

bool allEqual(const std::vector<double>& weights) {
  return std::all_of(weights.begin(), weights.end(), [&](double w) {
    return std::bit_cast<std::uint64_t>(w) == std::bit_cast<std::uint64_t>(weights.front());
  });
}

// The sum of the weights of the rows whose bit is set in both, in ascending
// row order; `head` may be null (every row).
double sumRows(const Word* head, const Word* column, std::size_t words,
               const std::vector<double>& weights) {
  double sum = 0.0;
  for (std::size_t w = 0; w < words; ++w) {
    for (Word word = head != nullptr ? head[w] & column[w] : column[w]; word != 0;
         word &= word - 1) {
      sum += weights[w * wordBits + static_cast<std::size_t>(std::countr_zero(word))];
    }
  }
  return sum;
}

}  // namespace

void writeIntersectionProbabilities(std::int32_t m, DoubleSequence weights, EventMatrix matrix) {
  writeIntersectionProbabilitiesTo(outputFileName, m, std::move(weights), std::move(matrix));
}

void writeIntersectionProbabilitiesTo(const std::string& path, std::int32_t m,
                                      DoubleSequence weights, EventMatrix matrix) {
  const PackedColumns columns = packColumns(matrix);
  EventMatrix().swap(matrix);
  writeIntersectionProbabilitiesTo(path, m, weights, columns);
}

void writeIntersectionProbabilities(std::int32_t m, const DoubleSequence& weights,
                                    const PackedColumns& columns, WritingProgress* progress) {
  writeIntersectionProbabilitiesTo(outputFileName, m, weights, columns, progress);
}

void writeIntersectionProbabilitiesTo(const std::string& path, std::int32_t m,
                                      const DoubleSequence& weights, const PackedColumns& columns,
                                      WritingProgress* progress) {
  const std::size_t rows = columns.rows;
  const std::size_t n = columns.events;
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::invalid_argument("the outcome matrix has more than 2147483647 events");
  }
  if (weights.size() < rows) {
    throw std::invalid_argument("there are " + std::to_string(weights.size()) + " weights for " +
                                std::to_string(rows) + " outcome rows");
  }
  const std::vector<double> rowWeights(weights.begin(),
                                       weights.begin() + static_cast<std::ptrdiff_t>(rows));

  const bool equalWeights = rows > 0 && allEqual(rowWeights);
  // With equal weights every set found in k rows has the same sum, that of k
  // weights added one after another, so each of the rows + 1 lines is made once.
  const LineTable table = equalWeights ? equalWeightLines(rowWeights.front(), rows) : LineTable{};
  const std::size_t words = columns.words;
  const auto events = static_cast<std::int32_t>(n);
  char line[maxLineLength];
  std::vector<std::size_t> counts(countBlock);

  SetWalk walk(columns, m);
  LineFile out = openLineFile(path);
  bool writing = true;
  std::uint64_t written = 0, nextReport = linesPerReport;  // counted only for `progress`
  while (writing && walk.next()) {
    // The sets of the run, their last event counting up to n, are written
    // here, each combining the one column more on the fly.
    if (equalWeights) {
      // Their row counts are worked out a block ahead of their lines, in a
      // tight loop while the columns are in the cache: counted between two
      // writes, each count first fetched the columns the write had evicted
      // (about 4 % more time for n = 2000, m = 2).
      for (std::int64_t first = walk.first(); writing && first <= events; first += countBlock) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(countBlock, events - first + 1));
        for (std::int32_t i = 0; i < count; ++i)
          counts[static_cast<std::size_t>(i)] = walk.rowsWith(static_cast<std::int32_t>(first + i));
        for (std::int32_t i = 0; writing && i < count; ++i) {
          const std::size_t k = counts[static_cast<std::size_t>(i)];
          writing = writeLine(out, table.line(k), table.length(k));
        }
      }
    } else {
      for (std::int32_t last = walk.first(); writing && last <= events; ++last) {
        const double sum = sumRows(walk.head(), columns.column(last), words, rowWeights);
        writing = writeLine(out, line, writeLineText(sum, line));
      }
    }
    if (progress != nullptr) {
      written += static_cast<std::uint64_t>(events - walk.first()) + 1;
      if (written >= nextReport) {
        progress->update(written);
        nextReport = written + linesPerReport;
      }
    }
  }
  if (progress != nullptr) progress->finish();
  closeLineFile(out);
}

}  // namespace intersections
