#include "study/instance_lines.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

#include "bounds/cherry_bound.h"
#include "evaluation/number_format.h"
#include "instance/index_sets.h"

namespace intersections {

namespace {

using Word = PackedColumns::Word;

// The units of a text "d.ddddddddd" (any number of digits before the point)
// of a value from 0 to 1.
std::uint32_t unitsOfText(const char* text, std::size_t length) {
  std::uint64_t units = 0;
  std::size_t decimals = 0;
  bool point = false;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '.') {
      point = true;
    } else if (c >= '0' && c <= '9' && units <= unitsPerOne) {
      units = units * 10 + static_cast<std::uint64_t>(c - '0');
      decimals += point;
    } else {
      throw std::invalid_argument("a line reads \"" + std::string(text, length) +
                                  "\", not a probability");
    }
  }
  if (decimals != 9 || units > unitsPerOne) {
    throw std::invalid_argument("a line reads \"" + std::string(text, length) +
                                "\", not a probability");
  }
  return static_cast<std::uint32_t>(units);
}

// The sums of one order, added as the file reader adds its lines: the values
// in 64 bits, handed over before 2^32 lines of up to 10^9 units could carry.
struct OrderTally {
  OrderSums sums;
  std::uint64_t sum = 0, count = 0, zeros = 0, ones = 0;

  void add(std::uint32_t value) {
    sum += value;
    zeros += value == 0;
    ones += value == unitsPerOne;
    if (++count == std::uint64_t{1} << 32) flush();
  }
  void flush() {
    sums.addOneUnitLines(sum, count, zeros, ones);
    sum = count = zeros = ones = 0;
  }
};

}  // namespace

std::vector<std::uint32_t> lineUnitsByRowCount(double weight, std::size_t rows) {
  std::vector<std::uint32_t> units;
  units.reserve(rows + 1);
  char text[maxProbabilityLength];
  double sum = 0.0;
  for (std::size_t k = 0; k <= rows; ++k) {
    if (k > 0) sum += weight;
    units.push_back(unitsOfText(text, writeProbability(sum, text)));
  }
  return units;
}

Observations observeLines(const PackedColumns& columns, double weight, std::int32_t m,
                          std::int32_t keepOrders) {
  if (m < 1) throw std::invalid_argument("observeLines: m must be at least 1");
  const std::vector<std::uint32_t> units = lineUnitsByRowCount(weight, columns.rows);
  const auto n = static_cast<std::int32_t>(columns.events);
  const std::size_t words = columns.words;
  Observations seen;
  seen.n = n;
  // prefix[i]: the rows in which the first i + 1 events of the set all occur.
  // The next set shares its events before the position that changed, so only
  // the later prefixes are made again.
  std::vector<Word> prefix;
  std::vector<std::int32_t> set;
  OrderTally tally;
  const auto kept = static_cast<std::size_t>(std::max(2, keepOrders));
  // Unless order 3 is kept in full, only the lines the cherry tree may read
  // are, as the file reader keeps them: their places come from orders 1 and 2.
  const bool pick = kept == 2;
  std::uint64_t placeInOrder = 0;
  std::size_t nextPick = 0;
  for (int changed; (changed = nextIndexSet(set, n, m)) >= 0;) {
    const std::size_t size = set.size();
    if (size > seen.orders.size() + 1) {
      // The first set of the next order: the previous one is complete.
      tally.flush();
      seen.orders.push_back(std::move(tally.sums));
      tally = OrderTally{};
      if (size == 3 && pick) seen.pickedPlaces = cherryLinePlaces(seen);
    }
    if (size <= kept && seen.lines.size() < size) seen.lines.emplace_back();
    prefix.resize(std::max(prefix.size(), size * words));
    for (std::size_t i = static_cast<std::size_t>(changed); i < size; ++i) {
      const Word* column = columns.column(set[i]);
      for (std::size_t w = 0; w < words; ++w) {
        prefix[i * words + w] = i == 0 ? column[w] : prefix[(i - 1) * words + w] & column[w];
      }
    }
    std::size_t rows = 0;
    for (std::size_t w = 0; w < words; ++w)
      rows += static_cast<std::size_t>(std::popcount(prefix[(size - 1) * words + w]));
    const std::uint32_t value = units[rows];
    tally.add(value);
    if (size <= kept) seen.lines[size - 1].pushValue(value);
    if (size == 3 && pick) {
      if (nextPick < seen.pickedPlaces.size() && seen.pickedPlaces[nextPick] == placeInOrder) {
        seen.picked.pushValue(value);
        ++nextPick;
      }
      ++placeInOrder;
    }
  }
  if (n >= 1) {
    tally.flush();
    seen.orders.push_back(std::move(tally.sums));
  }
  return seen;
}

mpq_class probabilityOfAtLeast(const PackedColumns& columns, double weight, std::int32_t atLeast) {
  std::vector<std::int32_t> ones(columns.rows, 0);
  for (std::size_t e = 1; e <= columns.events; ++e) {
    const Word* column = columns.column(static_cast<std::int32_t>(e));
    for (std::size_t w = 0; w < columns.words; ++w) {
      for (Word word = column[w]; word != 0; word &= word - 1) {
        ++ones[w * PackedColumns::wordBits + static_cast<std::size_t>(std::countr_zero(word))];
      }
    }
  }
  const auto rows =
      std::count_if(ones.begin(), ones.end(), [&](std::int32_t count) { return count >= atLeast; });
  // Weights that add up to a little more than 1 are no probability space; the
  // same weights divided by their sum are one. Its lines differ from the
  // instance's by less than 10^-15, far inside the rounding interval of every
  // line, so every bound holds for that space, whose event has this probability.
  const mpq_class total = mpq_class(weight) * static_cast<long>(columns.rows);
  const mpq_class probability = mpq_class(weight) * static_cast<long>(rows);
  return total > 1 ? mpq_class(probability / total) : probability;
}

}  // namespace intersections
