#include "bounds/boolean_bounds.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

#include "bounds/atom_certificate.h"
#include "bounds/atom_master.h"
#include "evaluation/line_count.h"
#include "instance/index_sets.h"
#include "lines/observations.h"

namespace intersections {

namespace {

// An atom enters the master only with a reduced cost below -pricingTolerance
// (per unit of probability it would carry): twice the master's dual
// tolerance, since the master leaves atoms above that out of its basis and
// the same atoms would come back round after round. The master stops adding
// atoms when none is left or its optimum lies within gapTolerance of the
// proved bound.
constexpr double pricingTolerance = 2e-11;
constexpr double gapTolerance = 1e-11;
// A row the master lacks is added when the master's solution leaves its
// interval by more than this many units: in the first phase, which works in
// probabilities, a little above the solver's tolerance there (0.01 units).
constexpr double firstPhaseSlack = 0.05;
constexpr double secondPhaseSlack = 1e-3;
constexpr int maxRounds = 400;

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

// What one phase of column generation ends with.
struct PhaseResult {
  mpq_class proved;        // the best bound proved on the phase's objective (probability)
  bool solved = false;     // the master reached an optimum with no atom left to add
  double masterValue = 0;  // its last optimum, as a probability
  double gap = 0;          // masterValue - proved, at the end
};

// Row and column generation: solve the master, price every atom exactly
// with the rounded duals, prove the bound they give, and add the rows the
// master's solution breaks and the atoms of most negative reduced cost, until
// its solution keeps every row and no atom is left to add (or the gap closes).
PhaseResult generateRowsAndColumns(std::int32_t n, const std::vector<AtomRow>& rows,
                                   AtomMaster& master, std::vector<std::uint8_t>& inMaster,
                                   std::vector<std::int64_t>& reducedCosts,
                                   const AtomObjective& objective, const BooleanProgress& where,
                                   const BooleanProgressReport& progress) {
  PhaseResult result;
  bool haveProof = false;
  const std::size_t batch = std::clamp<std::size_t>(rows.size() / 2, 50, 2000);
  const std::size_t rowBatch = std::clamp<std::size_t>(rows.size() / 8, 20, 500);
  // Atoms are ranked by their reduced cost per entry of their column (an
  // atom of j events has a 1 in every row of at most k of them): dense
  // columns slow every pivot, and ranking by the reduced cost alone fills the
  // master with the largest atoms (measured: 2.8 times slower at 12 events
  // and order 4).
  std::vector<double> perEntry(n + 1);
  for (std::int32_t size = 0; size <= n; ++size) {
    double entries = 0, choose = 1;
    for (std::int32_t j = 0; j <= std::min<std::int32_t>(size, where.order); ++j) {
      entries += choose;
      choose = choose * (size - j) / (j + 1);
    }
    perEntry[size] = 1 / entries;
  }
  for (int round = 1; round <= maxRounds; ++round) {
    const bool optimal = master.solve();
    const DyadicMultipliers y = dyadicMultipliers(master.duals());
    atomReducedCosts(n, rows, y, objective, reducedCosts);
    const std::int64_t least = *std::min_element(reducedCosts.begin(), reducedCosts.end());
    const mpq_class proved = provedLowerBound(rows, y, least);
    if (!haveProof || proved > result.proved) result.proved = proved;
    haveProof = true;
    result.masterValue = master.objectiveValue();
    result.gap = result.masterValue - result.proved.get_d();
    if (progress) {
      BooleanProgress now = where;
      now.round = round;
      now.gap = result.gap;
      progress(now);
    }
    if (!optimal) return result;
    const std::vector<int> violated =
        master.violatedRows(rowBatch, objective.sign == 0 ? firstPhaseSlack : secondPhaseSlack);
    const double threshold = -pricingTolerance * std::ldexp(1.0, y.shift);
    std::vector<std::pair<double, EventSet>> candidates;
    for (std::size_t atom = 0; atom < reducedCosts.size(); ++atom) {
      if (static_cast<double>(reducedCosts[atom]) < threshold && !inMaster[atom]) {
        candidates.emplace_back(
            static_cast<double>(reducedCosts[atom]) * perEntry[std::popcount(atom)],
            static_cast<EventSet>(atom));
        if (candidates.size() >= 8 * batch) {
          std::nth_element(candidates.begin(), candidates.begin() + batch, candidates.end());
          candidates.resize(batch);
        }
      }
    }
    // With every row kept, the master's optimum is that of the whole problem
    // up to the atoms it lacks; the gap says whether they could still matter.
    if (violated.empty() && (candidates.empty() || result.gap <= gapTolerance)) {
      result.solved = true;
      return result;
    }
    master.addRows(violated);
    if (candidates.size() > batch) {
      std::nth_element(candidates.begin(), candidates.begin() + batch, candidates.end());
      candidates.resize(batch);
    }
    std::vector<EventSet> atoms;
    for (const auto& candidate : candidates) {
      atoms.push_back(candidate.second);
      inMaster[candidate.second] = 1;
    }
    master.addAtoms(atoms);
  }
  return result;
}

}  // namespace

double booleanBytes(std::int32_t n, std::int32_t k) {
  const double atoms = std::ldexp(1.0, n);
  const double rows = static_cast<double>(lineCount(n, k)) + 1;
  // The reduced costs and the master's membership of every atom, then the
  // master: its columns, up to several times as many as rows, with up to a
  // row's worth of entries each, and the solver's factorization (measured
  // peaks: 65 MB at 20 events of density 30 and order 3, against 101 MB
  // here; 219 MB at 24 events of density 10, against 414 MB).
  return atoms * 9 + 48 * rows * std::min(rows, std::ldexp(1.0, n - 1)) + 4e6;
}

std::vector<BooleanOrderBounds> booleanBounds(std::int32_t n,
                                              const std::vector<IntervalList>& lines,
                                              std::int32_t atLeast,
                                              const BooleanProgressReport& progress) {
  if (n < 1 || n > booleanEventsLimit || atLeast < 1 || atLeast > n ||
      lines.size() > static_cast<std::size_t>(n))
    throw std::invalid_argument("booleanBounds: n, atLeast or the orders out of range");
  const std::size_t atoms = std::size_t{1} << n;
  std::vector<std::int64_t> reducedCosts;
  std::vector<EventSet> pool;  // the atoms of the earlier orders' masters
  std::vector<BooleanOrderBounds> result;
  const std::vector<AtomRow> allRows = atomRows(n, lines);
  std::optional<AtomMaster> carried;  // the last order's master of the least, if any
  for (std::size_t k = 1; k <= lines.size(); ++k) {
    // The rows of orders 1 to k lead the rows of all orders.
    const std::vector<AtomRow> rows(
        allRows.begin(), allRows.begin() + static_cast<std::ptrdiff_t>(
                                               1 + lineCount(n, static_cast<std::int32_t>(k))));
    // The master of order k is the last order's master of the least, its
    // rows and basis kept (its solution already fits every line of the
    // earlier orders), with the atoms of the greatest's master added: from
    // there the first phase only has to take in the lines of order k
    // (measured against a new master with the same rows and atoms: 20 events
    // of density 30 at order 3 in 19 s instead of 90 s, 20 of density 20 in
    // 4.8 s instead of 17 s). Order 1, or an order after one that found no
    // distribution, starts from a master of its own.
    std::vector<std::uint8_t> inMaster(atoms, 0);
    std::optional<AtomMaster> own;
    if (carried) {
      own.emplace(*carried);
      own->raiseOrder(static_cast<std::int32_t>(k), rows.size());
    } else {
      own.emplace(allRows, static_cast<std::int32_t>(k), rows.size());
      own->addRows({0});
    }
    AtomMaster& master = *own;
    for (const EventSet atom : master.atoms()) inMaster[atom] = 1;
    std::vector<EventSet> missing;
    for (const EventSet atom : pool)
      if (!inMaster[atom]) {
        inMaster[atom] = 1;
        missing.push_back(atom);
      }
    master.addAtoms(missing);

    BooleanOrderBounds bounds;
    std::vector<EventSet> extra;  // atoms only the upper bound's master holds
    // The first phase: the least total violation of the rows. A proved
    // positive lower bound on it shows that no distribution fits the lines.
    BooleanProgress where{static_cast<std::int32_t>(k), false, 0, 0};
    master.setObjective({atLeast, 0});
    PhaseResult feasibility = generateRowsAndColumns(n, rows, master, inMaster, reducedCosts,
                                                     {atLeast, 0}, where, progress);
    if (!(feasibility.solved && feasibility.masterValue < 1e-15)) {
      // The caps on the atoms are not in the certificate: without them the
      // duals prove that nothing fits, if nothing does.
      master.dropCaps();
      feasibility = generateRowsAndColumns(n, rows, master, inMaster, reducedCosts, {atLeast, 0},
                                           where, progress);
    }
    if (feasibility.proved > 0) return result;
    const bool feasible = feasibility.solved && feasibility.masterValue < 1e-15;

    if (feasible) {
      // The least and the greatest each start from the first phase's
      // feasible basis: from one optimum to the other the simplex would walk
      // much further.
      master.recentre();
      AtomMaster upperMaster = master;
      std::vector<std::uint8_t> inUpperMaster = inMaster;
      master.setObjective({atLeast, 1});
      const PhaseResult least = generateRowsAndColumns(n, rows, master, inMaster, reducedCosts,
                                                       {atLeast, 1}, where, progress);
      where.upper = true;
      upperMaster.setObjective({atLeast, -1});
      const PhaseResult most = generateRowsAndColumns(n, rows, upperMaster, inUpperMaster,
                                                      reducedCosts, {atLeast, -1}, where, progress);
      bounds.lower = least.proved;
      bounds.upper = -most.proved;
      bounds.largestGap = std::max(least.gap, most.gap);
      for (const EventSet atom : upperMaster.atoms())
        if (!inMaster[atom]) {
          inMaster[atom] = 1;
          extra.push_back(atom);
        }
    } else {
      // Neither a proof that nothing fits nor a distribution that does: the
      // trivial bounds, which the earlier orders' improve below.
      bounds.lower = 0;
      bounds.upper = 1;
    }
    bounds.lower = std::max<mpq_class>(bounds.lower, 0);
    bounds.upper = std::min<mpq_class>(bounds.upper, 1);
    if (!result.empty()) {
      // A bound of order k - 1 still holds with more lines known.
      bounds.lower = std::max(bounds.lower, result.back().lower);
      bounds.upper = std::min(bounds.upper, result.back().upper);
      bounds.largestGap = std::max(bounds.largestGap, result.back().largestGap);
    }
    result.push_back(bounds);
    if (feasible) carried.emplace(master);
    pool = master.atoms();
    pool.insert(pool.end(), extra.begin(), extra.end());
  }
  return result;
}

}  // namespace intersections
