#pragma once

#include <gmpxx.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "bounds/pair_table.h"
#include "lines/observations.h"
#include "lines/units.h"

namespace intersections {

// Three events i < j < k, counted from 0.
using Triple = std::array<std::uint32_t, 3>;

// Where the set {i < j < k} stands among the sets of three of n events in a
// run's order (lexicographic), counted from 0.
std::uint64_t tripleIndex(std::size_t n, const Triple& triple);

// The triple of the three events, whatever their order.
Triple sortedTriple(std::uint32_t a, std::uint32_t b, std::uint32_t c);

// How many of its heaviest partners each event brings to the triples the
// cherry tree may read.
inline constexpr std::size_t cherryPartners = 12;

// The triples whose lines cherryBound may read, ascending in a run's order:
// for each event e, the triples of e and two of its `partners` partners j
// with the largest low(b_ej) (the first in a run's order on a tie). From
// orders 1 and 2 alone, so that a reader can keep just these lines of order
// 3: at most n C(partners, 2) of them.
std::vector<Triple> cherryTriples(const PairTable& table, std::size_t partners = cherryPartners);

// Their places among the lines of order 3 of `seen`, which holds the lines of
// orders 1 and 2, ascending.
std::vector<std::uint64_t> cherryLinePlaces(const Observations& seen);

// One step of a t-cherry tree: `event` joins both ends of the tree's edge
// `edge`, forming the cherry {edge[0], edge[1], event}.
struct CherryStep {
  std::uint32_t event = 0;
  std::array<std::uint32_t, 2> edge{};
};

// A t-cherry tree and the upper bound it gives.
struct CherryBound {
  mpq_class value;
  std::array<std::uint32_t, 2> first{};  // the first edge
  std::vector<CherryStep> steps;         // every other event, in the order they joined
};

// The interval of the line of a set of three events.
using TripleLine = std::function<UnitInterval(const Triple&)>;

// The lines of order 3 of `seen`: all of them when it holds that order's
// lines, else those picked. The function it returns refers to `seen` and
// throws std::invalid_argument for a triple not kept.
TripleLine keptTripleLines(const Observations& seen);

// Bukszar and Prekopa's upper bound on the union from a t-cherry tree grown
// greedily: the tree starts from a pair with the largest low(b_ij) and at
// each step adds the event and the edge that lower the bound most. Never
// above hunterWorsley. `line` gives the interval of each triple of
// cherryTriples(table, partners), and is asked for no other. Needs
// n >= 3; throws std::invalid_argument for fewer events.
CherryBound cherryBound(const PairTable& table, const TripleLine& line,
                        std::size_t partners = cherryPartners);

}  // namespace intersections
