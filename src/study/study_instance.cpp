#include "study/study_instance.h"

#include <algorithm>
#include <cmath>

#include "evaluation/line_count.h"
#include "instance/random_instance.h"
#include "lines/instance_lines.h"
#include "reporting/columns.h"
#include "study/instances_csv.h"
#include "study/seeded_draws.h"
#include "study/summary.h"

namespace intersections {

InstanceResult studyInstance(const StudyAnswers& answers, std::int64_t second,
                             const BoundsRequest& request, const RowOptions& options) {
  // The dialogue seeds with srand(static_cast<unsigned>(time(nullptr))).
  SeededDraws draws(static_cast<unsigned>(second));
  const PackedColumns columns =
      generatePackedColumns(answers.n, answers.density, [&draws] { return draws(); });
  const double weight = makeWeights(answers.n, answers.probability).front();
  const std::vector<OrderBounds> bounds = boundsByOrder(
      observeLines(columns, weight, answers.m, linesNeeded(request), options.halfWidth), request);
  const mpq_class probability = probabilityOfAtLeast(columns, weight, request.atLeast);

  InstanceResult result;
  for (const OrderBounds& row : bounds) {
    result.rows.push_back(
        instancesRow(answers, request.atLeast, options, second, probability, row));
    for (const BoundColumn& column : boundColumns()) {
      const auto value = column.value(row);
      if (!value) continue;
      // The exact bound, not its printed form: rounding outwards could hide a
      // bound that misses by less than the last decimal.
      if (column.isUpper ? *value < probability : *value > probability) {
        result.wrongSide.push_back(wrongSideMessage(second, exactDecimal(probability), column.name,
                                                    column.isUpper, row.order,
                                                    formatBound(column, *value)));
      }
    }
  }
  return result;
}

double instanceBytes(const StudyAnswers& answers) {
  const double n = answers.n;
  const double orders = std::min(answers.n, answers.m);
  const double rows = 2 * n;
  const double words = std::ceil(rows / 64);
  const double packed = (n + orders) * words * 8;  // the columns and the prefixes of a set
  const double perRow = rows * (4 + 4);            // line values by row count, ones per row
  // The lines of orders 1 and 2, 4 bytes each, twice for a vector's growth.
  const double kept = (n + n * (n - 1) / 2) * 8;
  // The linear program's (k + 1) x (n + 2k) rationals, about 128 bytes each.
  const double program = (orders + 1) * (n + 2 * orders) * 128;
  return packed + perRow + kept + program;
}

double instanceCost(const StudyAnswers& answers, const BoundsRequest& request) {
  const std::int32_t orders = std::min(answers.n, answers.m);
  // The lines: about 10 ns each; the sharp bounds and the pairs: a few
  // microseconds an event and order.
  double seconds = 1e-8 * static_cast<double>(lineCount(answers.n, orders)) +
                   3e-6 * answers.n * orders + 1e-8 * answers.n * answers.n;
  if (request.booleanOrders > 0) {
    // Some 30 rounds of pricing over the 2^n atoms, and the master's pivots,
    // as work units (about 15,000 a second), up to the work limit.
    const double rows = static_cast<double>(lineCount(answers.n, request.booleanOrders));
    double work = 30 * (std::ldexp(1.0, answers.n) / 1024 + 20 * rows);
    if (request.booleanWorkLimit > 0)
      work = std::min(work, static_cast<double>(request.booleanWorkLimit));
    seconds += work / 15000;
  }
  return seconds;
}

}  // namespace intersections
