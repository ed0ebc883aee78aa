#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"
#include "reporting/boolean_scope.h"
#include "study/study_answers.h"

namespace intersections {

// The fields of a CSV line, split at every comma (no quoting: no field
// of these files holds one).
std::vector<std::string> splitCsvFields(const std::string& line);

// The first line of an instances file: "n,density,P,m,r,boolean,second,
// probability," and the header of union-bounds' CSV.
std::string instancesHeader();

// `value` exactly, in fixed notation; it must have a finite decimal expansion
// (a double, or a sum of doubles, has one).
std::string exactDecimal(const mpq_class& value);

// One row of an instances file, without its line end: the answers, the event
// bounded (at least r of the events; 1: the union), the Boolean bounds' mode
// (booleanModeText), the second whose instance it is, the exact probability
// of the event, then exactly the row that union-bounds --csv prints for that
// order (with --at-least r, and --boolean or --no-boolean as the mode says).
std::string instancesRow(const StudyAnswers& answers, std::int32_t atLeast, BooleanMode boolean,
                         std::int64_t second, const mpq_class& probability, const OrderBounds& row);

// One row read back.
struct InstanceRow {
  std::string study;    // "n,density,P,m,r" as written
  std::string boolean;  // the Boolean bounds' mode, as written
  std::int32_t n = 0;
  std::int32_t m = 0;
  std::int32_t atLeast = 1;
  std::int64_t second = 0;
  mpq_class probability;
  std::string probabilityText;
  std::int32_t order = 0;
  mpq_class bonferroni;
  std::vector<std::optional<mpq_class>> bounds;  // in the order of boundColumns()
  std::vector<std::string> boundTexts;           // as written, "" where empty
};

// Parses one line of an instances file (without its line end): every field
// must be as a study writes it (S and bonferroni with nine decimals, each
// bound empty or with twelve). Throws std::invalid_argument saying what is
// wrong.
InstanceRow parseInstancesRow(const std::string& line);

}  // namespace intersections
