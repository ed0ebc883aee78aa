#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"
#include "reporting/boolean_scope.h"
#include "study/instances_csv.h"
#include "study/study_answers.h"

namespace intersections {

// What the study finds in one instance.
struct InstanceResult {
  std::vector<std::string> rows;       // its rows of the instances file, orders 1 to min(m, n)
  std::vector<std::string> wrongSide;  // a wrongSideMessage for each rigorous bound that P misses
};

// The instance that intersections draws for `answers` when its last answer is
// read in the clock second `second`: the generator seeded with the second as
// the dialogue seeds it, the rows drawn by the same code, the lines made as
// the file would hold them; then the bounds of every order as union-bounds
// computes them from that file (the Boolean ones for the orders up to
// request.booleanOrders), checked against the exact probability of the
// event bounded. The lines are taken with options.halfWidth, and the rows
// name the options. The answers must make every line a probability (P from 0
// to 1, the 2n weights adding up to at most 1) and m >= 1. Draws from a
// generator of its own, so instances can be studied on several threads at
// once.
InstanceResult studyInstance(const StudyAnswers& answers, std::int64_t second,
                             const BoundsRequest& request, const RowOptions& options = {});

// A generous estimate of the peak memory that studyInstance needs for these
// answers, the Boolean bounds aside.
double instanceBytes(const StudyAnswers& answers);

// An estimate of the time studyInstance takes for these answers and this
// request, in seconds of one processor of the test machines: only the ratios
// of two estimates matter, to split a study between shards and to foresee
// its time from its first instances.
double instanceCost(const StudyAnswers& answers, const BoundsRequest& request);

}  // namespace intersections
