#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "bounds/atom_certificate.h"
#include "bounds/boolean_tuning.h"
#include "lines/units.h"

namespace intersections {

// The most events the Boolean bounds take: beyond the zeta transform's reach
// the proofs rest on a branch and bound over the atoms, whose time grows
// quickly with n.
inline constexpr std::int32_t booleanEventsLimit = 48;

// The memory the Boolean bounds of order k of n events take at most, in bytes.
double booleanBytes(std::int32_t n, std::int32_t k);

// What a round of the Boolean bounds is doing: solving the master problem,
// searching for atoms to add, or proving the bound by exact pricing.
enum class BooleanPhase { master, search, proof };

// How a long computation is going, for a progress line.
struct BooleanProgress {
  std::int32_t order = 0;
  bool upper = false;  // the greatest probability is sought, else the least
  std::int32_t round = 0;
  double gap = 0;  // master optimum minus the proved bound, as a probability (1: none yet)
  BooleanPhase phase = BooleanPhase::master;
  std::uint64_t nodes = 0;  // in the proof: the branch and bound's nodes so far (0: none)
};
using BooleanProgressReport = std::function<void(const BooleanProgress&)>;

// A distribution on the atoms as a master problem found it in floating
// point: an extreme case to look at, not a proof (it fits the lines only to
// the solver's tolerances, and only those the master held).
struct AtomDistribution {
  std::vector<EventSet> atoms;        // the atoms of positive probability
  std::vector<double> probabilities;  // the probability of each
};

// The Boolean bounds of one order k: the least and the greatest probability
// of "at least r events" over every distribution x on the subsets T of the n
// events (x_T: exactly the events of T occur) such that for every set S of at
// most k events, sum over T containing S of x_T lies in the interval of the
// line of S. Each is proved by an exactly checked dual certificate, so it
// holds whatever the floating-point solver did.
struct BooleanOrderBounds {
  mpq_class lower;
  mpq_class upper;
  double largestGap = 0;  // the largest master optimum minus proved bound seen (probability)
  // Whether both are the optima of the linear program (to its tolerances), or
  // only the best bounds proved before the work ran out: still bounds.
  bool optimal = true;
  std::uint64_t work = 0;  // the work done up to this order (see BooleanWork)
  // What proves each, maybe from an earlier order; nothing for the trivial
  // bounds 0 and 1.
  std::optional<AtomProof> lowerProof;
  std::optional<AtomProof> upperProof;
  // The solutions the masters of this order ended with, for the least and
  // for the greatest; empty when none was solved for it.
  AtomDistribution lowerWitness;
  AtomDistribution upperWitness;
};

// The work the Boolean bounds may do, counted in units that do not depend on
// the machine or its load, so that the same lines give the same bounds
// everywhere: a simplex pivot of the master is one unit for each started 64
// of its rows, a pass of pricing over the atoms one unit for every 4096
// atoms. A unit takes about 50 microseconds on the 2-core test machines. A
// limit of 0 is none.
struct BooleanWork {
  std::uint64_t limit = 0;
  std::uint64_t spent = 0;
  bool exhausted() const { return limit != 0 && spent >= limit; }

  // How the work went, for the benchmarks: rounds of column generation,
  // exact pricing passes (by the zeta transform or by branch and bound), the
  // nodes of the branch and bound, and the seconds in the master, in the
  // exact passes and in the search (these alone depend on the machine).
  std::uint64_t rounds = 0;
  std::uint64_t exactPasses = 0;
  std::uint64_t nodes = 0;
  double masterSeconds = 0;
  double exactSeconds = 0;
  double searchSeconds = 0;
};

// The Boolean bounds of orders 1 to lines.size(): lines[j - 1] holds the
// intervals of the lines of order j, all C(n, j) of them in a run's order.
// Needs 1 <= n <= booleanEventsLimit and 1 <= atLeast <= n. The result is
// shorter than `lines` exactly when the lines of the orders up to its size + 1
// are proved to fit no distribution (a checked Farkas certificate). The
// bounds never loosen from one order to the next.
//
// `effort`, when given, gets the work done and how it went; `tuning` sets
// how the computation goes, never whether a bound holds.
//
// With a work limit, the order during which the work runs out gets the best
// bounds proved so far, and the later orders the same (a bound of an order
// holds for every later one), all marked not optimal.
std::vector<BooleanOrderBounds> booleanBounds(
    std::int32_t n, const std::vector<IntervalList>& lines, std::int32_t atLeast = 1,
    const BooleanProgressReport& progress = {}, std::uint64_t workLimit = 0,
    BooleanWork* effort = nullptr, const BooleanTuning& tuning = BooleanTuning{});

}  // namespace intersections
