#include "lines/instance_lines.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

#include "evaluation/line_format.h"
#include "evaluation/set_walk.h"
#include "lines/line_text.h"

namespace intersections {

namespace {

using Word = PackedColumns::Word;

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
  // A line that stands for an interval of its own, as with a half-width.
  void add(std::uint32_t value, UnitInterval interval) { sums.add(value, interval); }
  void flush() {
    sums.addOneUnitLines(sum, count, zeros, ones);
    sum = count = zeros = ones = 0;
  }
};

// Where the lines of one order go, as the file reader keeps them.
struct OrderKeeper {
  IntervalList* all = nullptr;                         // every line, for an order kept in full
  const std::vector<std::uint64_t>* places = nullptr;  // else the places picked, if any
  IntervalList* picked = nullptr;
  std::size_t nextPick = 0;
  std::uint64_t place = 0;  // of the next line within the order

  void add(UnitInterval interval) {
    if (all != nullptr) {
      all->push(interval);
    } else if (places != nullptr && nextPick < places->size() && (*places)[nextPick] == place) {
      picked->push(interval);
      ++nextPick;
    }
    ++place;
  }
};

// The value of a line of `length` bytes at `line`, in units.
std::uint32_t lineUnits(const char* line, std::size_t length) {
  const std::int64_t value = length == probabilityLineLength ? probabilityLineValue(line) : -1;
  if (value < 0) {
    throw std::invalid_argument("a line reads \"" + std::string(line, length - lineEndLength) +
                                "\", not a probability");
  }
  return static_cast<std::uint32_t>(value);
}

// The observations of the lines of `columns`, the line of the set of a walk's
// run whose last event is `last` being unitsOf(walk, last).
template <typename UnitsOf>
Observations observe(const PackedColumns& columns, std::int32_t m, const LineSelection& keep,
                     std::optional<std::uint32_t> halfWidth, UnitsOf unitsOf) {
  if (m < 1) throw std::invalid_argument("observeLines: m must be at least 1");
  Observations seen;
  seen.n = static_cast<std::int32_t>(columns.events);
  const auto kept = static_cast<std::size_t>(std::max(keep.keepOrders, 0));
  OrderTally tally;
  OrderKeeper keeper;
  SetWalk walk(columns, m);
  while (walk.next()) {
    const std::size_t size = walk.size();
    if (size > seen.orders.size() + 1) {
      // The first set of the next order: the one before is complete.
      tally.flush();
      seen.orders.push_back(std::move(tally.sums));
      tally = OrderTally{};
      keeper = OrderKeeper{};
      if (size == kept + 1 && kept >= 1 && keep.pick) {
        seen.pickedPlaces = keep.pick(seen);
        keeper.places = &seen.pickedPlaces;
        keeper.picked = &seen.picked;
      }
    }
    if (size <= kept && seen.lines.size() < size) keeper.all = &seen.lines.emplace_back();
    for (std::int32_t last = walk.first(); last <= seen.n; ++last) {
      const std::uint32_t value = unitsOf(walk, last);
      if (halfWidth) {
        // As the reader takes a line of nine decimals with --delta: its value
        // plus or minus the half-width, cut to [0, 1].
        const UnitInterval interval{value > *halfWidth ? value - *halfWidth : 0,
                                    static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                        std::uint64_t{value} + *halfWidth, unitsPerOne))};
        tally.add(value, interval);
        keeper.add(interval);
      } else {
        tally.add(value);
        keeper.add(oneUnitAround(value));
      }
    }
  }
  if (seen.n >= 1) {
    tally.flush();
    seen.orders.push_back(std::move(tally.sums));
  }
  return seen;
}

// The number of ones in each row.
std::vector<std::int32_t> onesByRow(const PackedColumns& columns) {
  std::vector<std::int32_t> ones(columns.rows, 0);
  for (std::size_t e = 1; e <= columns.events; ++e) {
    const Word* column = columns.column(static_cast<std::int32_t>(e));
    for (std::size_t w = 0; w < columns.words; ++w) {
      for (Word word = column[w]; word != 0; word &= word - 1) {
        ++ones[w * PackedColumns::wordBits + static_cast<std::size_t>(std::countr_zero(word))];
      }
    }
  }
  return ones;
}

}  // namespace

std::vector<std::uint32_t> lineUnitsByRowCount(double weight, std::size_t rows) {
  const LineTable table = equalWeightLines(weight, rows);
  std::vector<std::uint32_t> units;
  units.reserve(rows + 1);
  for (std::size_t k = 0; k <= rows; ++k)
    units.push_back(lineUnits(table.line(k), table.length(k)));
  return units;
}

Observations observeLines(const PackedColumns& columns, double weight, std::int32_t m,
                          const LineSelection& keep, std::optional<std::uint32_t> halfWidth) {
  const std::vector<std::uint32_t> units = lineUnitsByRowCount(weight, columns.rows);
  return observe(columns, m, keep, halfWidth, [&units](const SetWalk& walk, std::int32_t last) {
    return units[walk.rowsWith(last)];
  });
}

Observations observeLines(const PackedColumns& columns, const std::vector<double>& weights,
                          std::int32_t m, const LineSelection& keep,
                          std::optional<std::uint32_t> halfWidth) {
  if (weights.size() < columns.rows)
    throw std::invalid_argument("observeLines: fewer weights than rows");
  // Equal weights: the evaluator writes the lines of their table, which are
  // the same sums, made once for each row count.
  const auto end = weights.begin() + static_cast<std::ptrdiff_t>(columns.rows);
  const bool equal = std::all_of(weights.begin(), end, [&](double w) {
    return std::bit_cast<std::uint64_t>(w) == std::bit_cast<std::uint64_t>(weights.front());
  });
  if (columns.rows > 0 && equal) return observeLines(columns, weights.front(), m, keep, halfWidth);
  return observe(columns, m, keep, halfWidth,
                 [&columns, &weights](const SetWalk& walk, std::int32_t last) {
                   char line[maxLineLength];
                   const std::size_t length = writeLineText(
                       rowsWeight(walk.head(), columns.column(last), columns.words, weights), line);
                   return lineUnits(line, length);
                 });
}

double rowsWeight(const PackedColumns::Word* head, const PackedColumns::Word* column,
                  std::size_t words, const std::vector<double>& weights) {
  double sum = 0.0;
  for (std::size_t w = 0; w < words; ++w) {
    for (Word word = head != nullptr ? head[w] & column[w] : column[w]; word != 0;
         word &= word - 1) {
      sum +=
          weights[w * PackedColumns::wordBits + static_cast<std::size_t>(std::countr_zero(word))];
    }
  }
  return sum;
}

mpq_class probabilityOfAtLeast(const PackedColumns& columns, double weight, std::int32_t atLeast) {
  const std::vector<std::int32_t> ones = onesByRow(columns);
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

mpq_class probabilityOfAtLeast(const PackedColumns& columns, const std::vector<double>& weights,
                               std::int32_t atLeast) {
  const std::vector<std::int32_t> ones = onesByRow(columns);
  mpq_class probability, total;
  for (std::size_t row = 0; row < columns.rows; ++row) {
    const mpq_class weight(weights.at(row));
    total += weight;
    if (ones[row] >= atLeast) probability += weight;
  }
  // As for equal weights: above 1, the weights as shares of their sum.
  return total > 1 ? mpq_class(probability / total) : probability;
}

}  // namespace intersections
