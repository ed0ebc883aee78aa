#include "evaluation/intersections.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>
#include <vector>

#include "evaluation/number_format.h"
#include "instance/index_sets.h"

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

// With equal weights every set found in k rows has the same sum, that of k
// weights added one after another, so each of the rows + 1 lines is made once.
struct LineTable {
  std::string text;                  // the lines one after another, CR LF included
  std::vector<std::size_t> offsets;  // line k is text[offsets[k], offsets[k + 1])
};

LineTable makeLineTable(double weight, std::size_t rows) {
  LineTable table;
  char buffer[maxProbabilityLength];
  double sum = 0.0;
  for (std::size_t k = 0; k <= rows; ++k) {
    if (k > 0) sum += weight;
    table.offsets.push_back(table.text.size());
    table.text.append(buffer, writeProbability(sum, buffer));
    table.text.append("\r\n");
  }
  table.offsets.push_back(table.text.size());
  return table;
}

std::size_t countRows(const Word* a, const Word* b, std::size_t words) {
  std::size_t count = 0;
  for (std::size_t w = 0; w < words; ++w)
    count += static_cast<std::size_t>(std::popcount(a[w] & b[w]));
  return count;
}

std::size_t countRows(const Word* a, std::size_t words) {
  std::size_t count = 0;
  for (std::size_t w = 0; w < words; ++w) count += static_cast<std::size_t>(std::popcount(a[w]));
  return count;
}

// The sum of the weights of the rows whose bit is set, in ascending row order.
double sumRows(const Word* bits, std::size_t words, const std::vector<double>& weights) {
  double sum = 0.0;
  for (std::size_t w = 0; w < words; ++w) {
    for (Word word = bits[w]; word != 0; word &= word - 1) {
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
  const LineTable table = equalWeights ? makeLineTable(rowWeights.front(), rows) : LineTable{};
  const std::size_t words = columns.words;
  const auto events = static_cast<std::int32_t>(n);

  // prefix[i] holds the intersection of the columns of the first i + 1 events
  // of the current set. The next set in the order shares its entries before
  // the position that changed, so only the later prefixes are recomputed:
  // fewer than two on average.
  std::vector<Word> prefix;
  std::vector<Word> indicator(words);
  char line[maxProbabilityLength + 2];
  std::vector<std::size_t> counts(countBlock);

  LineFile out = openLineFile(path);
  std::vector<std::int32_t> set;
  bool writing = true;
  std::uint64_t written = 0, nextReport = linesPerReport;  // counted only for `progress`
  for (int changed; writing && (changed = nextIndexSet(set, events, m)) >= 0;) {
    const std::size_t size = set.size();
    if (prefix.size() < size * words) prefix.resize(size * words);
    const std::size_t from = std::max<std::size_t>(static_cast<std::size_t>(changed), 1);
    if (changed == 0) std::copy_n(columns.column(set[0]), words, prefix.begin());
    for (std::size_t i = from; i + 1 < size; ++i) {
      const Word* column = columns.column(set[i]);
      for (std::size_t w = 0; w < words; ++w) {
        prefix[i * words + w] = prefix[(i - 1) * words + w] & column[w];
      }
    }
    // The sets that differ from this one in their last event alone follow it
    // in the order, that event counting up to n: they are written here, each
    // combining the one column more on the fly, without storing the result.
    const Word* head = prefix.data() + (size >= 2 ? (size - 2) * words : 0);
    if (equalWeights) {
      // Their row counts are worked out a block ahead of their lines, in a
      // tight loop while the columns are in the cache: counted between two
      // writes, each count first fetched the columns the write had evicted
      // (about 4 % more time for n = 2000, m = 2).
      for (std::int64_t first = set[size - 1]; writing && first <= events; first += countBlock) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(countBlock, events - first + 1));
        for (std::int32_t i = 0; i < count; ++i) {
          const Word* last = columns.column(static_cast<std::int32_t>(first + i));
          counts[static_cast<std::size_t>(i)] =
              size == 1 ? countRows(last, words) : countRows(head, last, words);
        }
        for (std::int32_t i = 0; writing && i < count; ++i) {
          const std::size_t k = counts[static_cast<std::size_t>(i)];
          writing = writeLine(out, table.text.data() + table.offsets[k],
                              table.offsets[k + 1] - table.offsets[k]);
        }
      }
    } else {
      for (std::int32_t lastEvent = set[size - 1]; writing && lastEvent <= events; ++lastEvent) {
        const Word* last = columns.column(lastEvent);
        if (size == 1) {
          std::copy_n(last, words, indicator.begin());
        } else {
          for (std::size_t w = 0; w < words; ++w) indicator[w] = head[w] & last[w];
        }
        std::size_t length = writeProbability(sumRows(indicator.data(), words, rowWeights), line);
        line[length++] = '\r';
        line[length++] = '\n';
        writing = writeLine(out, line, length);
      }
    }
    if (progress != nullptr) {
      written += static_cast<std::uint64_t>(events - set[size - 1]) + 1;
      if (written >= nextReport) {
        progress->update(written);
        nextReport = written + linesPerReport;
      }
    }
    set[size - 1] = events;  // the last of those sets, for the next step
  }
  if (progress != nullptr) progress->finish();
  closeLineFile(out);
}

}  // namespace intersections
