#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "instance/packed_columns.h"
#include "lines/line_selection.h"
#include "lines/observations.h"

namespace intersections {

// The line of a set found in k rows, for k = 0..rows, in units: the line
// that intersections writes for k weights `weight` added one after another,
// read back as whole units of 10^-9. Throws std::invalid_argument when a sum
// is not a probability (below 0 or above 1).
std::vector<std::uint32_t> lineUnitsByRowCount(double weight, std::size_t rows);

// What readProbFile takes, with `keep` and `halfWidth`, from the prob.txt
// that intersections writes for the instance `columns`, every outcome
// weighing `weight`, and the maximum order m: the sums of orders 1 to
// min(m, n) and the lines that `keep` selects, each line the value of its
// text. Nothing is written. Needs m >= 1 and the conditions of
// lineUnitsByRowCount.
Observations observeLines(const PackedColumns& columns, double weight, std::int32_t m,
                          const LineSelection& keep = {},
                          std::optional<std::uint32_t> halfWidth = std::nullopt);

// The same for outcomes of their own weights (weights[j] that of row j, at
// least one for every row): a set's line is the text of the sum of the
// weights of its rows, added as rowsWeight adds them, as intersections
// writes it for these weights; equal weights give the lines above. Throws
// std::invalid_argument when a line is not a probability.
Observations observeLines(const PackedColumns& columns, const std::vector<double>& weights,
                          std::int32_t m, const LineSelection& keep = {},
                          std::optional<std::uint32_t> halfWidth = std::nullopt);

// The weight of the rows whose bit is set in `column` and, unless `head` is
// null, in `head` (`words` words each): the sum of their weights from 0, in
// ascending row order, with plain double additions, as the evaluator adds
// them for a line.
double rowsWeight(const PackedColumns::Word* head, const PackedColumns::Word* column,
                  std::size_t words, const std::vector<double>& weights);

// The exact probability that at least `atLeast` of the events occur: the
// number of rows with that many ones times `weight`, exactly, divided by the
// weight of all rows when that is above 1 (P = 1 with n = 5 gives ten copies
// of the double nearest 0.1, which add up to a little more than 1).
mpq_class probabilityOfAtLeast(const PackedColumns& columns, double weight, std::int32_t atLeast);

// The same for outcomes of their own weights: the exact sum of the weights of
// the rows with at least `atLeast` ones, divided by the sum of all weights
// when that is above 1.
mpq_class probabilityOfAtLeast(const PackedColumns& columns, const std::vector<double>& weights,
                               std::int32_t atLeast);

}  // namespace intersections
