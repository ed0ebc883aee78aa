#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <vector>

#include "bounds/atom_certificate.h"
#include "bounds/atom_master.h"
#include "bounds/boolean_bounds.h"
#include "bounds/boolean_tuning.h"

namespace intersections {

// What one phase of column generation ends with.
struct PhaseResult {
  mpq_class proved;        // the best bound proved on the phase's objective (probability)
  bool solved = false;     // the master reached an optimum with no atom left to add
  double masterValue = 0;  // its last optimum, as a probability
  double gap = 0;          // masterValue - proved, at the end
  bool stopped = false;    // the work ran out before the phase ended
};

// Row and column generation over the atoms of n events for the rows of one
// order k: solve the master, price every atom exactly with the duals rounded
// to dyadic multipliers, prove the bound they give, and add the rows the
// master's solution breaks and the atoms of most negative reduced cost,
// until its solution keeps every row and no atom is left to add, or the gap
// closes, or the rounds run out. Every bound it reports is proved by
// provedLowerBound, whatever the master did.
//
// Pricing costs one pass over the 2^n atoms a round (8 bytes an atom);
// `rows` must outlive the object.
class ColumnGeneration {
 public:
  ColumnGeneration(std::int32_t n, std::int32_t order, const std::vector<AtomRow>& rows,
                   const BooleanTuning& tuning, BooleanProgressReport progress);

  // One phase on `master`, whose atoms are marked in `inMaster` (one entry an
  // atom; the atoms it adds are marked too), counting its work in `work` and
  // stopping, its last proof kept, once that is exhausted. `upper` only labels
  // the progress.
  PhaseResult run(AtomMaster& master, std::vector<std::uint8_t>& inMaster,
                  const AtomObjective& objective, bool upper, BooleanWork& work);

 private:
  // The atoms worth adding after a pricing pass, the best first, at most a round's worth.
  std::vector<EventSet> candidates(const std::vector<std::uint8_t>& inMaster, int shift) const;

  std::int32_t n_;
  std::int32_t order_;
  const std::vector<AtomRow>& rows_;
  const BooleanTuning& tuning_;
  BooleanProgressReport progress_;
  std::size_t atomsPerRound_;
  std::size_t rowsPerRound_;
  std::vector<double> perEntry_;            // by atom size: 1 / the entries of its column
  std::vector<std::int64_t> reducedCosts_;  // of every atom, scaled by 2^shift
};

}  // namespace intersections
