#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"
#include "reporting/boolean_scope.h"
#include "study/instances_csv.h"
#include "study/study_answers.h"
#include "study/user_bound.h"

namespace intersections {

// What the study finds in one instance.
struct InstanceResult {
  std::vector<std::string> rows;       // its rows of the instances file, orders 1 to min(m, n)
  std::vector<std::string> wrongSide;  // a wrongSideMessage for each rigorous bound that P misses
  // For each bound of the user's own that gave no values: "second T: the
  // bound NAME gave no values: " and why (UserBoundResult::failure).
  std::vector<std::string> failures;
};

// The instance of options.family for `answers` in the clock second `second`
// (drawInstance; by default the one intersections draws when its last answer
// is read in that second), its lines made as intersections would write them
// for its weights; then the bounds of every order as union-bounds computes
// them from that file (the Boolean ones for the orders up to
// request.booleanOrders), checked against the exact probability of the
// event bounded. The lines are taken with options.halfWidth, and the rows
// name the options. Each bound of the user's own runs its command once
// (runUserBound); its values follow the row of union-bounds, each in fixed
// notation with twelve decimals, rounded outwards, or empty where it gave
// none, and are checked as the others are. The answers must make every line
// a probability (P from 0 to 1) and m >= 1. Draws from a generator of its
// own, so instances can be studied on several threads at once.
InstanceResult studyInstance(const StudyAnswers& answers, std::int64_t second,
                             const BoundsRequest& request, const RowOptions& options = {},
                             const std::vector<UserBound>& userBounds = {});

// A generous estimate of the peak memory that studyInstance needs for these
// answers and this family, the Boolean bounds aside, with `userBounds`
// bounds of the user's own.
double instanceBytes(const StudyAnswers& answers, const InstanceFamily& family = {},
                     std::size_t userBounds = 0);

// An estimate of the time studyInstance takes for these answers and this
// request, in seconds of one processor of the test machines: only the ratios
// of two estimates matter, to split a study between shards and to foresee
// its time from its first instances.
// The family changes the cost of the lines, the bounds of the user's own
// add a guess at their commands' time.
double instanceCost(const StudyAnswers& answers, const BoundsRequest& request,
                    const InstanceFamily& family = {}, std::size_t userBounds = 0);

}  // namespace intersections
