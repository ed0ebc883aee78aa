#include "bounds/boolean_bounds.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

#include "bounds/atom_certificate.h"
#include "bounds/atom_master.h"
#include "bounds/boolean_tuning.h"
#include "bounds/column_generation.h"
#include "evaluation/line_count.h"
#include "instance/index_sets.h"
#include "lines/observations.h"

namespace intersections {

namespace {

// The rows of orders 1 to lines.size(), after the total: the sets of each
// order in a run's order.
std::vector<AtomRow> atomRows(std::int32_t n, const std::vector<IntervalList>& lines) {
  for (std::size_t k = 1; k <= lines.size(); ++k) {
    if (lines[k - 1].size() != linesOfOrder(n, static_cast<std::int32_t>(k)))
      throw std::invalid_argument("booleanBounds: an order's lines are missing");
  }
  std::vector<AtomRow> rows{{0, unitsPerOne, unitsPerOne}};
  std::vector<std::int32_t> set;
  std::size_t line = 0;  // within the order of `set`
  for (int changed; (changed = nextIndexSet(set, n, static_cast<std::int32_t>(lines.size()))) >= 0;
       ++line) {
    if (changed == 0 && set.back() == static_cast<std::int32_t>(set.size())) line = 0;
    EventSet events = 0;
    for (const std::int32_t e : set) events |= EventSet{1} << (e - 1);
    const IntervalList& order = lines[set.size() - 1];
    rows.push_back({events, order.low(line), order.high(line)});
  }
  return rows;
}

// Everything each order's computation hands on to the next.
struct Carried {
  std::optional<AtomMaster> master;  // the last order's master of the least, if it found one
  std::vector<EventSet> pool;        // the atoms of the last order's masters
};

// The master of order k: the last order's master of the least, its rows and
// basis kept (its solution already fits every line of the earlier orders),
// with the atoms of the greatest's master added: from there the first phase
// only has to take in the lines of order k (measured against a new master
// with the same rows and atoms: 20 events of density 30 at order 3 in 19 s
// instead of 90 s, 20 of density 20 in 4.8 s instead of 17 s). Order 1, or
// an order after one that found no distribution, starts from a master of its
// own. Marks its atoms in `inMaster`.
void makeMasterOfOrder(std::optional<AtomMaster>& master, const Carried& carried,
                       const std::vector<AtomRow>& allRows, std::int32_t k, std::size_t rowCount,
                       const BooleanTuning& tuning, AtomSet& inMaster) {
  if (carried.master) {
    master.emplace(*carried.master);
    master->raiseOrder(k, rowCount);
  } else {
    master.emplace(allRows, k, rowCount, tuning);
    master->addRows({0});
  }
  for (const EventSet atom : master->atoms()) inMaster.insert(atom);
  std::vector<EventSet> missing;
  for (const EventSet atom : carried.pool) {
    if (inMaster.insert(atom)) missing.push_back(atom);
  }
  master->addAtoms(missing);
}

// The atoms of positive probability in the master's solution.
AtomDistribution distributionOf(const AtomMaster& master) {
  const std::vector<long double> x = master.probabilities();
  AtomDistribution distribution;
  for (std::size_t atom = 0; atom < x.size(); ++atom) {
    if (x[atom] <= 0) continue;
    distribution.atoms.push_back(master.atoms()[atom]);
    distribution.probabilities.push_back(static_cast<double>(x[atom]));
  }
  return distribution;
}

}  // namespace

double booleanBytes(std::int32_t n, std::int32_t k) {
  const double atoms = std::ldexp(1.0, n);
  const double rows = static_cast<double>(lineCount(n, k)) + 1;
  // Beyond the zeta transform's reach no pass holds 2^n values: the atoms a
  // master holds are kept in a hash set, about as many as it has columns.
  const double perAtom = n <= BooleanTuning{}.zetaEventsLimit ? 9 : n <= 24 ? 1 : 0;
  // The master: its columns, up to several times as many as rows, with up to
  // a row's worth of entries each, the solver's copies and factorization, and
  // the allocator's slack, all charged to the process's control group.
  // Measured peaks of that charge, the largest on files whose lines of each
  // order are all alike: 27.9 MB at 14 events and order 3 (here 30.7 MB),
  // 42.9 MB at 12 events and order 4 (79.7 MB), 87.5 MB at 20 events of
  // density 50 and order 3 (232 MB).
  return atoms * perAtom + 120 * rows * std::min(rows, std::ldexp(1.0, n - 1)) + 4e6;
}

std::vector<BooleanOrderBounds> booleanBounds(std::int32_t n,
                                              const std::vector<IntervalList>& lines,
                                              std::int32_t atLeast,
                                              const BooleanProgressReport& progress,
                                              std::uint64_t workLimit, BooleanWork* effort,
                                              const BooleanTuning& tuning) {
  if (n < 1 || n > booleanEventsLimit || atLeast < 1 || atLeast > n ||
      lines.size() > static_cast<std::size_t>(n))
    throw std::invalid_argument("booleanBounds: n, atLeast or the orders out of range");
  std::vector<BooleanOrderBounds> result;
  const std::vector<AtomRow> allRows = atomRows(n, lines);
  Carried carried;
  BooleanWork work{workLimit, 0};
  for (std::size_t k = 1; k <= lines.size(); ++k) {
    if (work.exhausted()) {
      // No work is left for this order: the last order's bounds hold for it.
      BooleanOrderBounds same = result.back();
      same.optimal = false;
      same.lowerWitness = {};
      same.upperWitness = {};
      result.push_back(same);
      continue;
    }
    const auto order = static_cast<std::int32_t>(k);
    // The rows of orders 1 to k lead the rows of all orders.
    const std::vector<AtomRow> rows(
        allRows.begin(), allRows.begin() + static_cast<std::ptrdiff_t>(1 + lineCount(n, order)));
    AtomSet inMaster(n);
    std::optional<AtomMaster> own;
    makeMasterOfOrder(own, carried, allRows, order, rows.size(), tuning, inMaster);
    AtomMaster& master = *own;
    ColumnGeneration generation(n, order, rows, tuning, progress);

    // The first phase: the least total violation of the rows. A proved
    // positive lower bound on it shows that no distribution fits the lines.
    master.setObjective({atLeast, 0});
    PhaseResult feasibility = generation.run(master, inMaster, {atLeast, 0}, false, work);
    if (!feasibility.stopped && !(feasibility.solved && feasibility.masterValue < 1e-15)) {
      // The caps on the atoms are not in the certificate: without them the
      // duals prove that nothing fits, if nothing does.
      master.dropCaps();
      feasibility = generation.run(master, inMaster, {atLeast, 0}, false, work);
    }
    if (feasibility.proved > 0) {
      if (effort != nullptr) *effort = work;
      return result;
    }
    const bool feasible = feasibility.solved && feasibility.masterValue < 1e-15;

    BooleanOrderBounds bounds;
    std::vector<EventSet> extra;  // atoms only the upper bound's master holds
    if (feasible) {
      // The least and the greatest each start from the first phase's
      // feasible basis: from one optimum to the other the simplex would walk
      // much further.
      master.recentre();
      AtomMaster upperMaster = master;
      AtomSet inUpperMaster = inMaster;
      master.setObjective({atLeast, 1});
      const PhaseResult least = generation.run(master, inMaster, {atLeast, 1}, false, work);
      upperMaster.setObjective({atLeast, -1});
      // Each phase proves a bound from its first round on; with no work left
      // the greatest still gets that one round.
      const PhaseResult most =
          generation.run(upperMaster, inUpperMaster, {atLeast, -1}, true, work);
      bounds.lower = least.proved;
      bounds.upper = -most.proved;
      bounds.lowerProof = AtomProof{order, {atLeast, 1}, least.y, least.least};
      bounds.upperProof = AtomProof{order, {atLeast, -1}, most.y, most.least};
      bounds.lowerWitness = distributionOf(master);
      bounds.upperWitness = distributionOf(upperMaster);
      bounds.largestGap = std::max(least.gap, most.gap);
      bounds.optimal = least.solved && most.solved;
      for (const EventSet atom : upperMaster.atoms()) {
        if (inMaster.insert(atom)) extra.push_back(atom);
      }
    } else {
      // Neither a proof that nothing fits nor a distribution that does: the
      // trivial bounds, which the earlier orders' improve below.
      bounds.lower = 0;
      bounds.upper = 1;
      bounds.optimal = false;
    }
    // A probability lies in [0, 1] whatever the proofs say.
    if (bounds.lower < 0) {
      bounds.lower = 0;
      bounds.lowerProof.reset();
    }
    if (bounds.upper > 1) {
      bounds.upper = 1;
      bounds.upperProof.reset();
    }
    if (!result.empty()) {
      // A bound of order k - 1, and its proof, still hold with more lines known.
      const BooleanOrderBounds& last = result.back();
      if (last.lower > bounds.lower) {
        bounds.lower = last.lower;
        bounds.lowerProof = last.lowerProof;
      }
      if (last.upper < bounds.upper) {
        bounds.upper = last.upper;
        bounds.upperProof = last.upperProof;
      }
      bounds.largestGap = std::max(bounds.largestGap, last.largestGap);
    }
    bounds.work = work.spent;
    result.push_back(bounds);
    carried.pool = master.atoms();
    carried.pool.insert(carried.pool.end(), extra.begin(), extra.end());
    if (feasible) carried.master.emplace(*own);
  }
  if (effort != nullptr) *effort = work;
  return result;
}

}  // namespace intersections
