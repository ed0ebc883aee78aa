#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <unordered_set>
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
  DyadicMultipliers y;     // the multipliers that prove `proved`
  std::int64_t least = 0;  // and the least reduced cost they were priced at
};

// The atoms a master holds, for n events: a flag an atom while 2^n is small,
// a hash set beyond.
class AtomSet {
 public:
  explicit AtomSet(std::int32_t n);
  bool contains(EventSet atom) const;
  // Adds `atom`; false if it was there.
  bool insert(EventSet atom);

 private:
  std::vector<std::uint8_t> flags_;
  std::unordered_set<EventSet> set_;
};

// Row and column generation over the atoms of n events for the rows of one
// order k. Each round solves the master; the rows its solution breaks enter
// it, and atoms of negative reduced cost found by a fast search in floating
// point (searchNegativeAtoms). When the search finds none, an exact pricing
// pass over all the atoms (the zeta transform up to
// BooleanTuning::zetaEventsLimit events, a branch and bound beyond) gives the
// least reduced cost for the duals rounded to dyadic multipliers and so a
// bound proved by provedLowerBound, whatever the master did; the atoms it
// finds below zero enter, and the rounds go on until the master keeps every
// row and the exact pass finds no atom to add, or the gap closes, or the
// rounds or the work run out. A phase always ends with a proof.
//
// Memory: the master, and 9 bytes an atom for the zeta transform; `rows`
// must outlive the object.
class ColumnGeneration {
 public:
  ColumnGeneration(std::int32_t n, std::int32_t order, const std::vector<AtomRow>& rows,
                   const BooleanTuning& tuning, BooleanProgressReport progress);

  // One phase on `master`, whose atoms are in `inMaster` (the atoms it adds
  // are added there too), counting its work in `work` and stopping, with a
  // last proof, once that is exhausted. `upper` only labels the progress.
  PhaseResult run(AtomMaster& master, AtomSet& inMaster, const AtomObjective& objective, bool upper,
                  BooleanWork& work);

 private:
  // The least reduced cost over all atoms for the multipliers `y`, exactly,
  // or a proved lower bound on it, and the atoms below -threshold it found
  // that the master lacks, the best first, at most a round's worth. `now`
  // is the progress of the round, reported as the branch and bound goes on.
  struct ExactPass {
    std::int64_t least = 0;
    std::vector<EventSet> atoms;
  };
  ExactPass priceExactly(const DyadicMultipliers& y, const AtomObjective& objective,
                         const AtomSet& inMaster, BooleanWork& work, BooleanProgress now);
  // The atoms the search finds for the master's duals that the master lacks.
  std::vector<EventSet> search(const AtomMaster& master, const std::vector<double>& duals,
                               const AtomObjective& objective, const AtomSet& inMaster,
                               BooleanWork& work) const;

  std::int32_t n_;
  std::int32_t order_;
  const std::vector<AtomRow>& rows_;
  const BooleanTuning& tuning_;
  BooleanProgressReport progress_;
  std::size_t atomsPerRound_;
  std::size_t rowsPerRound_;
  std::vector<double> perEntry_;            // by atom size: 1 / the entries of its column
  std::vector<std::int64_t> reducedCosts_;  // of every atom, scaled by 2^shift (zeta only)
};

}  // namespace intersections
