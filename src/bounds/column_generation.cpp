#include "bounds/column_generation.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <utility>

#include "bounds/atom_pricing.h"

namespace intersections {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

AtomSet::AtomSet(std::int32_t n) {
  // A flag an atom costs 2^n bytes: up to 2^24, 16 MB, beside the pricing's 8 bytes an atom.
  if (n <= 24) flags_.assign(std::size_t{1} << n, 0);
}

bool AtomSet::contains(EventSet atom) const {
  return flags_.empty() ? set_.count(atom) != 0 : flags_[atom] != 0;
}

bool AtomSet::insert(EventSet atom) {
  if (flags_.empty()) return set_.insert(atom).second;
  const bool added = flags_[atom] == 0;
  flags_[atom] = 1;
  return added;
}

ColumnGeneration::ColumnGeneration(std::int32_t n, std::int32_t order,
                                   const std::vector<AtomRow>& rows, const BooleanTuning& tuning,
                                   BooleanProgressReport progress)
    : n_(n),
      order_(order),
      rows_(rows),
      tuning_(tuning),
      progress_(std::move(progress)),
      atomsPerRound_(
          std::clamp(rows.size() / 2, tuning.fewestAtomsPerRound, tuning.mostAtomsPerRound)),
      rowsPerRound_(
          std::clamp(rows.size() / 8, tuning.fewestRowsPerRound, tuning.mostRowsPerRound)),
      perEntry_(static_cast<std::size_t>(n) + 1) {
  // Atoms are ranked by their reduced cost per entry of their column (an
  // atom of j events has a 1 in every row of at most k of them): dense
  // columns slow every pivot, and ranking by the reduced cost alone fills the
  // master with the largest atoms (measured: 2.8 times slower at 12 events
  // and order 4).
  for (std::int32_t size = 0; size <= n; ++size) {
    double entries = 0, choose = 1;
    for (std::int32_t j = 0; j <= std::min(size, order); ++j) {
      entries += choose;
      choose = choose * (size - j) / (j + 1);
    }
    perEntry_[static_cast<std::size_t>(size)] = 1 / entries;
  }
}

ColumnGeneration::ExactPass ColumnGeneration::priceExactly(const DyadicMultipliers& y,
                                                           const AtomObjective& objective,
                                                           const AtomSet& inMaster,
                                                           BooleanWork& work, BooleanProgress now) {
  const auto start = std::chrono::steady_clock::now();
  ++work.exactPasses;
  ExactPass pass;
  const double threshold = -tuning_.pricingTolerance * std::ldexp(1.0, y.shift);
  if (n_ > tuning_.zetaEventsLimit) {
    // No pass over 2^n values: the branch and bound's least is exact, or,
    // cut off, a proved lower bound; its atom enters when it prices below zero.
    // A work limit bounds the nodes too (1,024 a unit); cut off, the search
    // still proves the least bound over the parts it left open.
    std::uint64_t nodeLimit = ~std::uint64_t{0};
    if (work.limit != 0)
      nodeLimit = std::max<std::uint64_t>(work.limit - std::min(work.limit, work.spent), 1) * 1024;
    const auto visited = [&](std::uint64_t nodes) {
      now.nodes = nodes;
      if (progress_) progress_(now);
    };
    const LeastReducedCost found = leastReducedCost(n_, rows_, y, objective, nodeLimit, 8, visited);
    work.nodes += found.nodes;
    work.spent += found.nodes / 1024;
    pass.least = found.lowerBound;
    if (static_cast<double>(found.least) < threshold && !inMaster.contains(found.atom))
      pass.atoms.push_back(found.atom);
    work.exactSeconds += secondsSince(start);
    return pass;
  }
  atomReducedCosts(n_, rows_, y, objective, reducedCosts_);
  work.spent += reducedCosts_.size() / 4096;
  pass.least = *std::min_element(reducedCosts_.begin(), reducedCosts_.end());
  const std::size_t batch = atomsPerRound_;
  std::vector<std::pair<double, EventSet>> ranked;
  for (std::size_t atom = 0; atom < reducedCosts_.size(); ++atom) {
    const auto cost = static_cast<double>(reducedCosts_[atom]);
    if (cost < threshold && !inMaster.contains(atom)) {
      ranked.emplace_back(cost * perEntry_[static_cast<std::size_t>(std::popcount(atom))],
                          static_cast<EventSet>(atom));
      // Kept short while it fills: only the best batch can enter.
      if (ranked.size() >= 8 * batch) {
        std::nth_element(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(batch),
                         ranked.end());
        ranked.resize(batch);
      }
    }
  }
  if (ranked.size() > batch) {
    std::nth_element(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(batch),
                     ranked.end());
    ranked.resize(batch);
  }
  for (const auto& entry : ranked) pass.atoms.push_back(entry.second);
  work.exactSeconds += secondsSince(start);
  return pass;
}

std::vector<EventSet> ColumnGeneration::search(const AtomMaster& master,
                                               const std::vector<double>& duals,
                                               const AtomObjective& objective,
                                               const AtomSet& inMaster, BooleanWork& work) const {
  const auto start = std::chrono::steady_clock::now();
  AtomSearchOptions options;
  options.threshold = tuning_.pricingTolerance;
  options.randomStarts = tuning_.searchRandomStarts;
  const std::vector<EventSet> starts = master.largestAtoms(tuning_.searchStartsFromMaster);
  const std::vector<PricedAtom> found = searchNegativeAtoms(
      n_, rows_, duals, objective, starts, atomsPerRound_ + master.atoms().size(), options);
  // A walk costs about n flips of n events each, every one a look at the
  // rows of the flipped event.
  const std::size_t walks = starts.size() + static_cast<std::size_t>(options.randomStarts);
  work.spent += walks * static_cast<std::uint64_t>(n_) * rows_.size() / 65536;
  std::vector<std::pair<double, EventSet>> ranked;
  for (const PricedAtom& priced : found) {
    if (!inMaster.contains(priced.atom))
      ranked.emplace_back(
          priced.reducedCost * perEntry_[static_cast<std::size_t>(std::popcount(priced.atom))],
          priced.atom);
  }
  std::sort(ranked.begin(), ranked.end());
  if (ranked.size() > atomsPerRound_) ranked.resize(atomsPerRound_);
  std::vector<EventSet> atoms;
  for (const auto& entry : ranked) atoms.push_back(entry.second);
  work.searchSeconds += secondsSince(start);
  return atoms;
}

PhaseResult ColumnGeneration::run(AtomMaster& master, AtomSet& inMaster,
                                  const AtomObjective& objective, bool upper, BooleanWork& work) {
  PhaseResult result;
  bool haveProof = false;
  for (int round = 1; round <= tuning_.maxRounds; ++round) {
    ++work.rounds;
    // What this round is doing, for the progress line.
    BooleanProgress now{order_, upper, round, haveProof ? result.gap : 1.0, BooleanPhase::master,
                        0};
    const auto report = [&](BooleanPhase phase) {
      now.phase = phase;
      if (progress_) progress_(now);
    };
    report(BooleanPhase::master);
    const std::uint64_t workBefore = master.work();
    const auto start = std::chrono::steady_clock::now();
    const bool optimal = master.solve();
    work.masterSeconds += secondsSince(start);
    work.spent += master.work() - workBefore;
    const std::vector<double> duals = master.duals();
    result.masterValue = master.objectiveValue();
    const bool last = !optimal || work.exhausted() || round == tuning_.maxRounds;
    std::vector<std::size_t> violated;
    std::vector<EventSet> atoms;
    if (!last) {
      violated = master.violatedRows(
          rowsPerRound_, objective.sign == 0 ? tuning_.firstPhaseSlack : tuning_.secondPhaseSlack);
      report(BooleanPhase::search);
      atoms = search(master, duals, objective, inMaster, work);
    }
    const bool proving = last || (violated.empty() && atoms.empty());
    if (proving) {
      // The exact pass: the bound these duals prove, and the atoms the
      // search missed.
      const DyadicMultipliers y = dyadicMultipliers(duals);
      report(BooleanPhase::proof);
      ExactPass pass = priceExactly(y, objective, inMaster, work, now);
      const mpq_class proved = provedLowerBound(rows_, y, pass.least);
      if (!haveProof || proved > result.proved) {
        result.proved = proved;
        result.y = y;
        result.least = pass.least;
      }
      haveProof = true;
      result.gap = result.masterValue - result.proved.get_d();
      atoms = std::move(pass.atoms);
    }
    now.gap = haveProof ? result.gap : 1.0;
    report(now.phase);
    if (!optimal) return result;
    if (last) {
      result.stopped = work.exhausted();
      return result;
    }
    // With every row kept, the master's optimum is that of the whole problem
    // up to the atoms it lacks; the gap says whether they could still matter.
    if (proving && violated.empty() && (atoms.empty() || result.gap <= tuning_.gapTolerance)) {
      result.solved = true;
      return result;
    }
    master.addRows(violated);
    for (const EventSet atom : atoms) inMaster.insert(atom);
    master.addAtoms(atoms);
  }
  return result;
}

}  // namespace intersections
