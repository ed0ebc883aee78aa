#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "bounds/atom_certificate.h"

namespace intersections {

// Pricing of the atoms of n events (1 to 63) without a pass over all 2^n of
// them. The reduced cost of an atom T, in the scale 2^shift of `y`, is
//   c(T) - (sum of y.numerators[r] over the rows r whose events lie in T),
//   c(T) = objective.sign * 2^shift if T holds at least objective.atLeast events, else 0,
// exactly the entry T of atomReducedCosts.

// What leastReducedCost found. Always lowerBound <= the least reduced cost
// of any atom <= least; when `complete`, lowerBound == least, the minimum.
struct LeastReducedCost {
  std::int64_t least = 0;       // the reduced cost of `atom`, exactly
  std::int64_t lowerBound = 0;  // proved: no atom has a smaller reduced cost
  EventSet atom = 0;            // the best atom found (the empty atom included)
  std::uint64_t nodes = 0;      // nodes of the search visited
  bool complete = false;        // the search ran to its end
};

// The least reduced cost over all the 2^n atoms, exactly, by a branch and
// bound in integer arithmetic. It visits at most `nodeLimit` nodes (the root
// always); if the limit stops it, `least` is the best atom found so far and
// `lowerBound` the least bound over the parts of the search left open, still
// a proof. Before it, `walks` short tabu walks (from the empty atom, the full
// one, then random ones; the same each call) find a first atom to beat; with
// 0 the search starts from the empty atom alone. `visited`, when given, is
// called with the nodes visited so far after every 2^16 of them.
// Throws std::invalid_argument if n is out of range, the rows and the
// numerators differ in number or a row names an event beyond n, and
// std::overflow_error if the magnitudes of the numerators and 2^shift add up
// to 2^62 or more (dyadicMultipliers stays below).
LeastReducedCost leastReducedCost(std::int32_t n, const std::vector<AtomRow>& rows,
                                  const DyadicMultipliers& y, const AtomObjective& objective,
                                  std::uint64_t nodeLimit = ~std::uint64_t{0},
                                  std::int32_t walks = 8,
                                  const std::function<void(std::uint64_t)>& visited = {});

// The reduced cost of one atom, exactly, in the scale 2^shift; the same
// argument checks as leastReducedCost.
std::int64_t atomReducedCost(std::int32_t n, const std::vector<AtomRow>& rows,
                             const DyadicMultipliers& y, const AtomObjective& objective,
                             EventSet atom);

// An atom and its reduced cost c(T) - sum of duals[r] over the rows within
// T, in probability (c(T) = objective.sign or 0), computed in floating point
// from the rows in their order.
struct PricedAtom {
  EventSet atom = 0;
  double reducedCost = 0;
};

// How hard searchNegativeAtoms looks.
struct AtomSearchOptions {
  double threshold = 1e-9;          // atoms must price below -threshold
  std::int32_t randomStarts = 16;   // walks from random atoms, besides the given starts
  std::int32_t movesPerStart = 0;   // flips a walk may make at most; 0 means 2n + 10
  std::uint64_t seed = 0x5eed1e55;  // of the random starts
};

// Atoms of negative reduced cost for column generation, by local search:
// a tabu walk of single-event flips from each of `starts` (the master's
// atoms, say) and from random atoms. Returns at most maxAtoms distinct
// atoms, each with a reduced cost below -options.threshold, the most
// negative first (ties by the atom). It may miss such atoms, even all of
// them (leastReducedCost proves there are none); the same arguments give the
// same answer. `duals` holds one value per row, 0 for the rows the master
// leaves out. Throws std::invalid_argument as leastReducedCost does.
std::vector<PricedAtom> searchNegativeAtoms(std::int32_t n, const std::vector<AtomRow>& rows,
                                            const std::vector<double>& duals,
                                            const AtomObjective& objective,
                                            const std::vector<EventSet>& starts,
                                            std::size_t maxAtoms,
                                            const AtomSearchOptions& options = {});

}  // namespace intersections
