#include "study/study_instance.h"

#include <algorithm>
#include <cmath>

#include "evaluation/line_count.h"
#include "lines/instance_lines.h"
#include "reporting/columns.h"
#include "reporting/decimal.h"
#include "study/bound_command.h"
#include "study/instance_family.h"
#include "study/instances_csv.h"
#include "study/summary.h"

namespace intersections {

InstanceResult studyInstance(const StudyAnswers& answers, std::int64_t second,
                             const BoundsRequest& request, const RowOptions& options,
                             const std::vector<UserBound>& userBounds) {
  const FamilyInstance instance = drawInstance(answers, options.family, second);
  const std::vector<OrderBounds> bounds =
      boundsByOrder(observeLines(instance.columns, instance.weights, answers.m,
                                 linesNeeded(request), options.halfWidth),
                    request);
  const mpq_class probability =
      probabilityOfAtLeast(instance.columns, instance.weights, request.atLeast);

  InstanceResult result;
  std::vector<UserBoundResult> user;
  for (const UserBound& bound : userBounds) {
    user.push_back(runUserBound(bound, instance.columns, instance.weights, answers.m));
    if (!user.back().failure.empty()) {
      result.failures.push_back("second " + std::to_string(second) + ": the bound " +
                                bound.column.name + " gave no values: " + user.back().failure);
    }
  }
  // A bound whose exact value lies on the wrong side: the exact value, not its
  // printed form, since rounding outwards could hide a bound that misses by
  // less than the last decimal.
  const auto check = [&](const std::string& name, bool isUpper, std::int32_t order,
                         const mpq_class& value, const std::string& text) {
    if (isUpper ? value < probability : value > probability) {
      result.wrongSide.push_back(
          wrongSideMessage(second, exactDecimal(probability), name, isUpper, order, text));
    }
  };
  for (const OrderBounds& row : bounds) {
    std::string text = instancesRow(answers, request.atLeast, options, second, probability, row);
    for (const BoundColumn& column : boundColumns()) {
      if (const auto value = column.value(row))
        check(column.name, column.isUpper, row.order, *value, formatBound(column, *value));
    }
    for (std::size_t b = 0; b < userBounds.size(); ++b) {
      text += ',';
      const std::vector<mpq_class>& values = user[b].values;
      if (values.empty()) continue;
      const UserColumn& column = userBounds[b].column;
      const mpq_class& value = values.at(static_cast<std::size_t>(row.order - 1));
      const std::string shown =
          formatFixed(value, boundDecimals, column.isUpper ? Rounding::up : Rounding::down);
      text += shown;
      check(column.name, column.isUpper, row.order, value, shown);
    }
    result.rows.push_back(std::move(text));
  }
  return result;
}

double instanceBytes(const StudyAnswers& answers, const InstanceFamily& family,
                     std::size_t userBounds) {
  const double n = answers.n;
  const double orders = std::min(answers.n, answers.m);
  const double rows = static_cast<double>(family.outcomeCount(answers.n));
  const double words = std::ceil(rows / 64);
  const double packed = (n + orders) * words * 8;  // the columns and the prefixes of a set
  // Line values by row count, ones per row, the weights twice (as drawn and as used).
  const double perRow = rows * (4 + 4 + 16);
  // The lines of orders 1 and 2, 4 bytes each, twice for a vector's growth.
  const double kept = (n + n * (n - 1) / 2) * 8;
  // The linear program's (k + 1) x (n + 2k) rationals, about 128 bytes each.
  const double program = (orders + 1) * (n + 2 * orders) * 128;
  // A command's input, a piece at a time, and its output, kept up to 1 MiB.
  const double commands = userBounds > 0 ? 2.0 * (1 << 20) + 64 * orders : 0;
  return packed + perRow + kept + program + commands;
}

double instanceCost(const StudyAnswers& answers, const BoundsRequest& request,
                    const InstanceFamily& family, std::size_t userBounds) {
  const std::int32_t orders = std::min(answers.n, answers.m);
  const double lines = static_cast<double>(lineCount(answers.n, orders));
  // The lines: about 10 ns each at 2n outcomes, in proportion to the words
  // of a column beyond; with weights of their own some 100 ns more for the
  // sum and its text; the sharp bounds and the pairs: a few microseconds an
  // event and order.
  const double rows = static_cast<double>(family.outcomeCount(answers.n));
  const double words = std::ceil(rows / 64) / std::ceil(2.0 * answers.n / 64);
  double seconds = 1e-8 * lines * words + 3e-6 * answers.n * orders + 1e-8 * answers.n * answers.n;
  if (family.randomWeights) seconds += 1e-7 * lines;
  // Drawing the rows beyond 2n, a few nanoseconds an entry.
  seconds += 5e-9 * answers.n * std::max(0.0, rows - 2.0 * answers.n);
  // A command of the user's: a guess of 20 ms to start it, and its lines' text.
  seconds += static_cast<double>(userBounds) * (0.02 + 1e-7 * lines);
  if (request.booleanOrders > 0) {
    // Some 30 rounds of pricing over the 2^n atoms, and the master's pivots,
    // as work units (about 15,000 a second), up to the work limit.
    const double rowsOfProgram = static_cast<double>(lineCount(answers.n, request.booleanOrders));
    double work = 30 * (std::ldexp(1.0, answers.n) / 1024 + 20 * rowsOfProgram);
    if (request.booleanWorkLimit > 0)
      work = std::min(work, static_cast<double>(request.booleanWorkLimit));
    seconds += work / 15000;
  }
  return seconds;
}

}  // namespace intersections
