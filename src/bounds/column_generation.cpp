#include "bounds/column_generation.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace intersections {

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

std::vector<EventSet> ColumnGeneration::candidates(const std::vector<std::uint8_t>& inMaster,
                                                   int shift) const {
  const double threshold = -tuning_.pricingTolerance * std::ldexp(1.0, shift);
  const std::size_t batch = atomsPerRound_;
  std::vector<std::pair<double, EventSet>> ranked;
  for (std::size_t atom = 0; atom < reducedCosts_.size(); ++atom) {
    const auto cost = static_cast<double>(reducedCosts_[atom]);
    if (cost < threshold && !inMaster[atom]) {
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
  std::vector<EventSet> atoms;
  atoms.reserve(ranked.size());
  for (const auto& entry : ranked) atoms.push_back(entry.second);
  return atoms;
}

PhaseResult ColumnGeneration::run(AtomMaster& master, std::vector<std::uint8_t>& inMaster,
                                  const AtomObjective& objective, bool upper, BooleanWork& work) {
  PhaseResult result;
  bool haveProof = false;
  for (int round = 1; round <= tuning_.maxRounds; ++round) {
    const std::uint64_t workBefore = master.work();
    const bool optimal = master.solve();
    const DyadicMultipliers y = dyadicMultipliers(master.duals());
    atomReducedCosts(n_, rows_, y, objective, reducedCosts_);
    work.spent += master.work() - workBefore + reducedCosts_.size() / 4096;
    const std::int64_t least = *std::min_element(reducedCosts_.begin(), reducedCosts_.end());
    const mpq_class proved = provedLowerBound(rows_, y, least);
    if (!haveProof || proved > result.proved) result.proved = proved;
    haveProof = true;
    result.masterValue = master.objectiveValue();
    result.gap = result.masterValue - result.proved.get_d();
    if (progress_) progress_({order_, upper, round, result.gap});
    if (!optimal) return result;
    if (work.exhausted()) {
      result.stopped = true;
      return result;
    }
    const std::vector<std::size_t> violated = master.violatedRows(
        rowsPerRound_, objective.sign == 0 ? tuning_.firstPhaseSlack : tuning_.secondPhaseSlack);
    const std::vector<EventSet> atoms = candidates(inMaster, y.shift);
    // With every row kept, the master's optimum is that of the whole problem
    // up to the atoms it lacks; the gap says whether they could still matter.
    if (violated.empty() && (atoms.empty() || result.gap <= tuning_.gapTolerance)) {
      result.solved = true;
      return result;
    }
    master.addRows(violated);
    for (const EventSet atom : atoms) inMaster[atom] = 1;
    master.addAtoms(atoms);
  }
  return result;
}

}  // namespace intersections
