#pragma once

#include <ClpSimplex.hpp>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "bounds/atom_certificate.h"
#include "bounds/boolean_tuning.h"

namespace intersections {

// The master problem of the linear program over the atoms: some of the rows
// and some of the atoms, solved in floating point by COIN-OR CLP. Rows and
// atoms both come in as they are found to matter: at an optimum only a few
// rows bind (measured: 55 of the 470 rows of orders 1 to 3 at 14 events), so
// the master stays far smaller than the whole problem.
//
// It runs in two phases. The first minimizes the rows' violation, carried by
// two artificial columns a row (a surplus and a shortfall); until the first
// recentre() it works in probabilities, and each atom is also held below the
// least high end of the rows within it, which the rows imply and which keeps
// it off most rows the master lacks yet. recentre() then moves the master
// onto its solution x0, so that the second phase (the objective) solves for
// x - x0 in units of 10^-9, where the rows' intervals are about 1 wide
// against the solver's tolerances instead of 10^-9 (in probabilities they
// lie below its accuracy and the simplex stalls). A master can go on to the
// next order (raiseOrder, then the first phase again, now in units around
// the last x0): the artificials of the rows it holds stay at 0.
class AtomMaster {
 public:
  // `rows` (row 0 the total, then the rows by order) must outlive the
  // master; the first `rowCount` of them, of at most `order` events, are in play.
  AtomMaster(const std::vector<AtomRow>& rows, std::int32_t order, std::size_t rowCount,
             const BooleanTuning& tuning = {});
  // Brings the rows of the next orders into play (the first `rowCount`).
  void raiseOrder(std::int32_t order, std::size_t rowCount);

  // Adds the rows (indices into the rows) that the master lacks.
  void addRows(const std::vector<std::size_t>& rows);
  // Adds atoms the master lacks.
  void addAtoms(const std::vector<EventSet>& atoms);
  // Sets the objective: sign 0 is the first phase (the total violation of
  // the master's rows); otherwise the artificials are held at 0.
  void setObjective(const AtomObjective& objective);
  // Lifts the first phase's caps on the atoms (for a proof that no
  // distribution fits, which must rest on the rows alone).
  void dropCaps();
  // Moves the master onto its current solution (see above); after the first phase.
  void recentre();

  // Solves the master from its last basis; false when the solver found no optimum.
  bool solve();
  // The work of every solve so far, copies' included: a unit a pivot for
  // each started 64 rows of the master (see BooleanWork).
  std::uint64_t work() const { return work_; }
  // The master's optimum, as a probability.
  double objectiveValue() const;
  // The duals of every row, 0 for the rows the master lacks.
  std::vector<double> duals() const;
  // The rows the master lacks that its solution leaves outside their
  // interval by more than `slack` units, the worst first, at most `most`.
  std::vector<std::size_t> violatedRows(std::size_t most, double slack) const;
  const std::vector<EventSet>& atoms() const { return atoms_; }
  // The master's solution: the probability of each atom of atoms(), in the
  // same order, as the solver found it in floating point.
  std::vector<long double> probabilities() const { return solution(); }
  // The atoms of largest probability in the master's solution, at most
  // `most`, the largest first.
  std::vector<EventSet> largestAtoms(std::size_t most) const;

 private:
  // The rows whose events lie within `atom`: its subsets of at most order_ events.
  void appendRowsWithin(EventSet atom, std::vector<std::size_t>& rows) const;
  double atomCost(std::size_t atom) const;
  // The master's solution x, a probability per atom.
  std::vector<long double> solution() const;
  // The probability of each row's events under x (a probability per atom).
  std::vector<long double> activityOf(const std::vector<long double>& x) const;

  std::int32_t order_;
  double secondPhasePrimalTolerance_;
  const std::vector<AtomRow>& rows_;
  std::size_t rowCount_;
  std::unordered_map<EventSet, std::size_t> rowOf_;
  std::vector<int> modelRow_;  // per row, its row in the model, or -1
  ClpSimplex model_;
  std::vector<int> artificials_;  // their columns
  std::vector<EventSet> atoms_;
  std::vector<int> atomColumn_;      // per atom, its column
  std::vector<std::uint32_t> caps_;  // per atom, the least high end of its rows (units)
  std::vector<double> base_;         // per atom, x0 (0 before recentre)
  AtomObjective objective_{1, 0};
  long double offset_ = 0;  // the objective at x0
  double scale_ = 1;        // units of the model per unit of probability
  bool capped_ = true;
  std::uint64_t work_ = 0;
};

}  // namespace intersections
