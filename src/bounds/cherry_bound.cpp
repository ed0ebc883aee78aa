#include "bounds/cherry_bound.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

// The bound. For the events in the order they join the tree, e_1, ..., e_n,
//   P(union) = P(A_e1 or A_e2) + sum_{m >= 3} P(A_em and no earlier A),
// and an event e that joins the edge {x, y} of events already in the tree
// has P(A_e and no earlier A) <= P(A_e and not A_x and not A_y) = a_e - g_e
// with g_e = b_xe + b_ye - c_xye. So the union is at most
//   sum_i a_i - b_first - sum over the steps of g_e.
// Over the box of true values a_i is at most high(a_i) and b_first at least
// its low end. Of g_e the true values say: g_e >= b_xe and g_e >= b_ye (the
// cherry lies inside both pairs), so
//   g_e >= max(low(b_xe), low(b_ye), low(b_xe) + low(b_ye) - high(c_xye)),
// the last term only where the line of the cherry was kept. Each step takes
// that lower end of g_e, so the bound holds for every choice of true values.
//
// Never above Hunter and Worsley's. Let W be the weight of their tree (a
// maximum spanning tree on low(b)), b_max the largest low(b), with which the
// cherry tree starts, and m_t the largest low(b) of a pair with one event
// among the first t to join and one not, t = 2..n-1. Every event in the tree
// ends one of its edges, so the step after t gains at least m_t. And
// b_max + sum_t m_t >= W: for a level h, let the pairs with low(b) >= h split
// the events into c(h) groups; W is the integral over h of n - c(h) (Kruskal),
// and the first t events can be a union of whole groups for at most c(h) - 1
// of the t (they grow one by one and never hold all events), so at least
// n - 1 - c(h) of the m_t reach h, and b_max reaches every h where any pair
// does.
//
// The triples. Which cherry a step takes depends on the c of the candidates,
// but the candidates, each event with two of its heaviest partners, depend on
// orders 1 and 2 only; a cherry outside them still gains max(low(b_xe),
// low(b_ye)), as Hunter-Worsley would.

namespace intersections {

namespace {

// C(m, 3), for the m whose C(m, 3) fits in 64 bits (m or m - 1 is even, and 3
// divides one of m, m - 1, m - 2).
std::uint64_t choose3(std::uint64_t m) {
  if (m < 3) return 0;
  std::uint64_t a = m, b = m - 1, c = m - 2;
  (a % 3 == 0 ? a : b % 3 == 0 ? b : c) /= 3;
  (a % 2 == 0 ? a : b) /= 2;
  return a * b * c;
}

void checkEvents(std::size_t n) {
  if (n < 3) throw std::invalid_argument("cherry tree: needs at least 3 events");
}

// The low end of the pair of i != j, as a signed number for the gains.
std::int64_t low(const PairTable& table, std::uint32_t i, std::uint32_t j) {
  return table.pair(i, j).low;
}

// partnersOf[e]: the `partners` events j != e with the largest low(b_ej),
// the first on a tie.
std::vector<std::vector<std::uint32_t>> heaviestPartners(const PairTable& table,
                                                         std::size_t partners) {
  const std::size_t n = table.events();
  const std::size_t kept = std::min(partners, n - 1);
  std::vector<std::vector<std::uint32_t>> partnersOf(n);
  std::vector<std::uint32_t> others;
  for (std::uint32_t e = 0; e < n; ++e) {
    others.clear();
    for (std::uint32_t j = 0; j < n; ++j) {
      if (j != e) others.push_back(j);
    }
    auto heavier = [&](std::uint32_t i, std::uint32_t j) {
      const std::int64_t bi = low(table, e, i), bj = low(table, e, j);
      return bi != bj ? bi > bj : i < j;
    };
    std::partial_sort(others.begin(), others.begin() + static_cast<std::ptrdiff_t>(kept),
                      others.end(), heavier);
    partnersOf[e].assign(others.begin(), others.begin() + static_cast<std::ptrdiff_t>(kept));
  }
  return partnersOf;
}

}  // namespace

std::uint64_t tripleIndex(std::size_t n, const Triple& t) {
  // The sets whose least event is below t[0], then those that start with
  // t[0]: the pairs of the n - t[0] - 1 events above it, in a run's order.
  const std::uint64_t before = choose3(n) - choose3(n - t[0]);
  return before + pairIndex(n - t[0] - 1, t[1] - t[0] - 1, t[2] - t[0] - 1);
}

Triple sortedTriple(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  Triple t{a, b, c};
  std::sort(t.begin(), t.end());
  return t;
}

std::vector<Triple> cherryTriples(const PairTable& table, std::size_t partners) {
  const std::size_t n = table.events();
  checkEvents(n);
  std::vector<Triple> triples;
  const auto partnersOf = heaviestPartners(table, partners);
  for (std::uint32_t e = 0; e < n; ++e) {
    const std::vector<std::uint32_t>& near = partnersOf[e];
    for (std::size_t i = 0; i < near.size(); ++i) {
      for (std::size_t j = i + 1; j < near.size(); ++j)
        triples.push_back(sortedTriple(e, near[i], near[j]));
    }
  }
  std::sort(triples.begin(), triples.end());
  triples.erase(std::unique(triples.begin(), triples.end()), triples.end());
  return triples;
}

std::vector<std::uint64_t> cherryLinePlaces(const Observations& seen) {
  if (seen.lines.size() < 2)
    throw std::invalid_argument("cherryLinePlaces: needs the lines of orders 1 and 2");
  std::vector<std::uint64_t> places;
  const auto n = static_cast<std::size_t>(seen.n);
  // No file holds order 3 of so many events that its places pass 64 bits.
  if (n < 3 || linesOfOrder(seen.n, 3) == std::numeric_limits<std::uint64_t>::max()) return places;
  for (const Triple& t : cherryTriples({seen.lines[0], seen.lines[1]})) {
    places.push_back(tripleIndex(n, t));
  }
  return places;
}

TripleLine keptTripleLines(const Observations& seen) {
  const auto n = static_cast<std::size_t>(seen.n);
  if (seen.lines.size() >= 3) {
    return [&seen, n](const Triple& t) { return seen.lines[2][tripleIndex(n, t)]; };
  }
  if (seen.pickedPlaces.size() != seen.picked.size())
    throw std::invalid_argument("keptTripleLines: the places and the lines picked differ");
  return [&seen, n](const Triple& t) {
    const std::uint64_t place = tripleIndex(n, t);
    const auto at = std::lower_bound(seen.pickedPlaces.begin(), seen.pickedPlaces.end(), place);
    if (at == seen.pickedPlaces.end() || *at != place)
      throw std::invalid_argument("cherry tree: the line of a triple was not kept");
    return seen.picked[static_cast<std::size_t>(at - seen.pickedPlaces.begin())];
  };
}

CherryBound cherryBound(const PairTable& table, const TripleLine& line, std::size_t partners) {
  const std::size_t n = table.events();
  checkEvents(n);
  // near[e * n + j]: j is one of e's heaviest partners.
  std::vector<bool> near(n * n, false);
  const auto partnersOf = heaviestPartners(table, partners);
  for (std::size_t e = 0; e < n; ++e) {
    for (const std::uint32_t j : partnersOf[e]) near[e * n + j] = true;
  }
  auto isCandidate = [&](std::uint32_t e, std::uint32_t x, std::uint32_t y) {
    auto both = [&](std::uint32_t u, std::uint32_t v, std::uint32_t w) {
      return near[u * n + v] && near[u * n + w];
    };
    return both(e, x, y) || both(x, e, y) || both(y, e, x);
  };
  // The lower end of g_e for e joining the edge {x, y}, in units.
  auto gain = [&](std::uint32_t e, std::uint32_t x, std::uint32_t y) {
    const std::int64_t bx = low(table, x, e), by = low(table, y, e);
    std::int64_t g = std::max(bx, by);
    if (isCandidate(e, x, y))
      g = std::max<std::int64_t>(g, bx + by - line(sortedTriple(e, x, y)).high);
    return g;
  };

  CherryBound result;
  std::int64_t heaviest = -1;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n; ++j) {
      if (low(table, i, j) > heaviest) {
        heaviest = low(table, i, j);
        result.first = {i, j};
      }
    }
  }
  // For each event not yet in the tree, its best edge of the tree so far.
  std::vector<bool> inTree(n, false);
  std::vector<std::int64_t> best(n, -1);
  std::vector<std::array<std::uint32_t, 2>> bestEdge(n);
  auto offer = [&](std::uint32_t x, std::uint32_t y) {
    for (std::uint32_t e = 0; e < n; ++e) {
      if (inTree[e]) continue;
      const std::int64_t g = gain(e, x, y);
      if (g > best[e]) {
        best[e] = g;
        bestEdge[e] = {x, y};
      }
    }
  };
  inTree[result.first[0]] = inTree[result.first[1]] = true;
  offer(result.first[0], result.first[1]);

  mpz_class bound;
  for (std::size_t i = 0; i < n; ++i) bound += static_cast<unsigned long>(table.single(i).high);
  std::uint64_t gained = static_cast<std::uint64_t>(heaviest);
  for (std::size_t added = 2; added < n; ++added) {
    std::uint32_t next = 0;
    bool found = false;
    for (std::uint32_t e = 0; e < n; ++e) {
      if (!inTree[e] && (!found || best[e] > best[next])) {
        next = e;
        found = true;
      }
    }
    inTree[next] = true;
    gained += static_cast<std::uint64_t>(best[next]);
    const std::array<std::uint32_t, 2> edge = bestEdge[next];
    result.steps.push_back({next, edge});
    offer(next, edge[0]);
    offer(next, edge[1]);
  }
  result.value = probabilityOfUnits(bound - static_cast<unsigned long>(gained));
  return result;
}

}  // namespace intersections
