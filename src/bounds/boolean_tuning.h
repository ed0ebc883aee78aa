#pragma once

#include <cstddef>
#include <cstdint>

namespace intersections {

// Every tuning number of the Boolean bounds, in one place. None of them
// decides whether a bound holds (each is proved exactly); they decide how
// fast the column generation gets there and how close to the optimum the
// proved bound comes.
struct BooleanTuning {
  // The master problem (AtomMaster). The first phase works in probabilities,
  // the second in units of 10^-9. The tolerances lie far below the rounding
  // intervals of the lines. In the second phase values reach 10^9 units, so
  // a primal tolerance much below 10^-7 units is beneath the solver's
  // accuracy: measured, it leaves solutions that CLP reports optimal only
  // before unscaling.
  double firstPhasePrimalTolerance = 1e-11;
  double secondPhasePrimalTolerance = 1e-7;
  double dualTolerance = 1e-11;

  // An atom enters the master only with a reduced cost below
  // -pricingTolerance (per unit of probability it would carry): twice the
  // master's dual tolerance, since the master leaves atoms above that out of
  // its basis and the same atoms would come back round after round.
  double pricingTolerance = 2e-11;
  // The master stops adding atoms when none is left or its optimum lies
  // within this of the proved bound (as a probability).
  double gapTolerance = 1e-11;

  // A row the master lacks is added when the master's solution leaves its
  // interval by more than this many units: in the first phase, which works
  // in probabilities, a little above the solver's tolerance there (0.01
  // units).
  double firstPhaseSlack = 0.05;
  double secondPhaseSlack = 1e-3;

  // Atoms added a round: half the rows, within these limits; rows added a
  // round: an eighth of them, within these.
  std::size_t fewestAtomsPerRound = 50;
  std::size_t mostAtomsPerRound = 2000;
  std::size_t fewestRowsPerRound = 20;
  std::size_t mostRowsPerRound = 500;

  // Rounds of one phase before it gives up with the best bound proved so far.
  int maxRounds = 400;

  // The exact pricing of a proof: the zeta transform over all 2^n atoms up
  // to this many events (8 bytes an atom; a pass costs about n 2^n
  // additions), a branch and bound over the atoms beyond.
  std::int32_t zetaEventsLimit = 22;
  // The search that finds atoms between two proofs: walks from the master's
  // atoms of largest probability (at most this many) and from random atoms.
  std::size_t searchStartsFromMaster = 64;
  std::int32_t searchRandomStarts = 16;
};

}  // namespace intersections
