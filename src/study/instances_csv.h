#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"
#include "reporting/boolean_scope.h"
#include "study/instance_family.h"
#include "study/study_answers.h"
#include "study/user_bound.h"

namespace intersections {

// The fields of a CSV line, split at every comma (no quoting: no field
// of these files holds one).
std::vector<std::string> splitCsvFields(const std::string& line);

// What changes the columns of a study's rows besides its setting: the Boolean
// bounds' mode and the work they may do, the half-width of the lines, and
// the family of the instances. Rows made with other options are not rows of
// the same study.
struct RowOptions {
  BooleanMode boolean = BooleanMode::cheap;
  std::uint64_t booleanLimit = 0;          // the work limit in force, 0 for none
  std::optional<std::uint32_t> halfWidth;  // --delta, in units; none: one unit of the last decimal
  InstanceFamily family;

  // The four fields of a row: "default,15000,,2n" (mode, limit, delta or
  // empty, family).
  std::string text() const;
  friend bool operator==(const RowOptions&, const RowOptions&) = default;
};

// The first line of an instances file: "n,density,P,m,r,boolean,
// boolean_limit,delta,family,second,probability,", the header of
// union-bounds' CSV, then the header field of each bound of the user's own.
std::string instancesHeader(const std::vector<UserColumn>& user = {});

// The bounds of the user's own that a header names: nothing when it is not
// the header of an instances file.
std::optional<std::vector<UserColumn>> userColumnsOfHeader(const std::string& header);

// `value` exactly, in fixed notation; it must have a finite decimal expansion
// (a double, or a sum of doubles, has one).
std::string exactDecimal(const mpq_class& value);

// One row of an instances file, without its line end and the fields of the
// user's own bounds: the answers, the event bounded (at least r of the
// events; 1: the union), the options, the second whose instance it is, the
// exact probability of the event, then exactly the row that union-bounds
// --csv prints for that order with the same options (--at-least r,
// --boolean or --no-boolean, --boolean-limit, --delta) on the instance's
// lines.
std::string instancesRow(const StudyAnswers& answers, std::int32_t atLeast,
                         const RowOptions& options, std::int64_t second,
                         const mpq_class& probability, const OrderBounds& row);

// One row read back.
struct InstanceRow {
  std::string study;    // "n,density,P,m,r" as written
  std::string options;  // "boolean,boolean_limit,delta,family" as written
  std::int32_t n = 0;
  std::int32_t m = 0;
  std::int32_t atLeast = 1;
  std::int64_t second = 0;
  mpq_class probability;
  std::string probabilityText;
  std::int32_t order = 0;
  mpq_class bonferroni;
  // In the order of boundColumns(), then of the user's own bounds.
  std::vector<std::optional<mpq_class>> bounds;
  std::vector<std::string> boundTexts;  // as written, "" where empty
  std::optional<bool> booleanOptimal;   // the field boolean_optimal
};

// Parses one line of an instances file (without its line end) whose header
// names the bounds of the user's own `user`: every field must be as a
// study writes it (S and bonferroni with nine decimals, each bound empty or
// with twelve). Throws std::invalid_argument saying what is wrong.
InstanceRow parseInstancesRow(const std::string& line, const std::vector<UserColumn>& user = {});

}  // namespace intersections
