#include "bounds/atom_pricing.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_set>

namespace intersections {

namespace {

constexpr std::int32_t mostEvents = 63;

EventSet allEvents(std::int32_t n) { return (EventSet{1} << n) - 1; }

void checkRows(const char* who, std::int32_t n, const std::vector<AtomRow>& rows,
               std::size_t values) {
  if (n < 1 || n > mostEvents || rows.size() != values)
    throw std::invalid_argument(std::string(who) + ": wrong sizes");
  for (const AtomRow& row : rows) {
    if ((row.events & ~allEvents(n)) != 0)
      throw std::invalid_argument(std::string(who) + ": row out of range");
  }
}

// With the magnitudes of the numerators and 2^shift adding up below 2^62,
// every sum of some of the numerators plus or minus 2^shift fits an int64:
// the reduced costs, and every bound below, are such sums.
void checkMagnitudes(const char* who, const DyadicMultipliers& y) {
  if (y.shift < 0 || y.shift > 61) throw std::invalid_argument(std::string(who) + ": bad shift");
  constexpr std::uint64_t limit = std::uint64_t{1} << 62;
  std::uint64_t total = std::uint64_t{1} << y.shift;
  for (const std::int64_t numerator : y.numerators) {
    const std::uint64_t magnitude = numerator < 0
                                        ? std::uint64_t{0} - static_cast<std::uint64_t>(numerator)
                                        : static_cast<std::uint64_t>(numerator);
    if (magnitude >= limit - total)
      throw std::overflow_error(std::string(who) + ": multipliers too large");
    total += magnitude;
  }
}

// sum over the rows within T of their weights, as a polynomial in the
// indicators of the events: the rows merged by their events (in the order
// of the rows), the terms of weight 0 left out.
template <typename Value>
struct Polynomial {
  Value constant{};             // the rows of the empty set
  std::vector<EventSet> terms;  // distinct, not empty
  std::vector<Value> weights;   // not 0
};

template <typename Value>
Polynomial<Value> polynomialOf(const std::vector<AtomRow>& rows,
                               const std::vector<Value>& weights) {
  std::vector<std::size_t> order(rows.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return rows[a].events < rows[b].events; });
  Polynomial<Value> polynomial;
  for (std::size_t i = 0; i < order.size();) {
    const EventSet events = rows[order[i]].events;
    Value weight{};
    for (; i < order.size() && rows[order[i]].events == events; ++i) weight += weights[order[i]];
    if (events == 0) {
      polynomial.constant += weight;
    } else if (weight != Value{}) {
      polynomial.terms.push_back(events);
      polynomial.weights.push_back(weight);
    }
  }
  return polynomial;
}

// An atom under single-event flips, each flip's effect on the reduced cost
// known at once. For each event e it keeps linear[e], the weight of the
// terms holding e whose other events all lie in the atom: adding e gains
// exactly that, removing it loses it. A flip of e updates only the terms
// holding e, through the count of their events missing from the atom.
template <typename Value>
class FlipSearch {
 public:
  FlipSearch(std::int32_t n, const Polynomial<Value>& polynomial, Value cost, std::int32_t atLeast)
      : n_(n),
        polynomial_(polynomial),
        cost_(cost),
        atLeast_(atLeast),
        termsOf_(static_cast<std::size_t>(n)),
        missing_(polynomial.terms.size()),
        linear_(static_cast<std::size_t>(n)) {
    for (std::size_t t = 0; t < polynomial.terms.size(); ++t) {
      for (EventSet rest = polynomial.terms[t]; rest != 0; rest &= rest - 1)
        termsOf_[static_cast<std::size_t>(std::countr_zero(rest))].push_back(t);
    }
  }

  std::int32_t events() const { return n_; }
  EventSet atom() const { return atom_; }
  Value value() const { return costOf(size_) - sum_; }

  Value valueAfterFlip(std::int32_t event) const {
    const Value gain = linear_[static_cast<std::size_t>(event)];
    return (atom_ >> event & 1) != 0 ? costOf(size_ - 1) - (sum_ - gain)
                                     : costOf(size_ + 1) - (sum_ + gain);
  }

  void start(EventSet atom) {
    atom_ = atom;
    size_ = std::popcount(atom);
    sum_ = polynomial_.constant;
    std::fill(linear_.begin(), linear_.end(), Value{});
    for (std::size_t t = 0; t < polynomial_.terms.size(); ++t) {
      const EventSet term = polynomial_.terms[t];
      const Value weight = polynomial_.weights[t];
      const EventSet out = term & ~atom;
      missing_[t] = std::popcount(out);
      if (missing_[t] == 0) {
        sum_ += weight;
        for (EventSet rest = term; rest != 0; rest &= rest - 1) linearOf(rest) += weight;
      } else if (missing_[t] == 1) {
        linearOf(out) += weight;
      }
    }
  }

  void flip(std::int32_t event) {
    const EventSet bit = EventSet{1} << event;
    const bool adding = (atom_ & bit) == 0;
    const Value gain = linear_[static_cast<std::size_t>(event)];
    atom_ ^= bit;
    size_ += adding ? 1 : -1;
    sum_ += adding ? gain : -gain;
    // A term's completion changes for its other events when it goes from
    // one missing event (this one) to none, and for its one missing other
    // event when it goes from two missing to one.
    for (const std::size_t t : termsOf_[static_cast<std::size_t>(event)]) {
      const EventSet others = polynomial_.terms[t] & ~bit;
      const Value weight = adding ? polynomial_.weights[t] : -polynomial_.weights[t];
      const int before = missing_[t];
      missing_[t] += adding ? -1 : 1;
      const int fewer = std::min(before, missing_[t]);
      if (fewer == 0) {
        for (EventSet rest = others; rest != 0; rest &= rest - 1) linearOf(rest) += weight;
      } else if (fewer == 1) {
        linearOf(others & ~atom_) += weight;
      }
    }
  }

 private:
  Value costOf(std::int32_t size) const { return size >= atLeast_ ? cost_ : Value{}; }
  Value& linearOf(EventSet set) { return linear_[static_cast<std::size_t>(std::countr_zero(set))]; }

  std::int32_t n_;
  const Polynomial<Value>& polynomial_;
  Value cost_;
  std::int32_t atLeast_;
  std::vector<std::vector<std::size_t>> termsOf_;  // by event: the terms holding it
  std::vector<int> missing_;                       // by term: its events out of the atom
  std::vector<Value> linear_;
  EventSet atom_ = 0;
  std::int32_t size_ = 0;
  Value sum_{};
};

// A tabu walk from `start`: each move flips the event whose flip leaves the
// least reduced cost, leaving out the events flipped in the last few moves
// unless the flip beats the walk's best. It ends after `moves` moves, or
// after n + 4 moves without a new best. `visit(atom, value)` sees every atom
// on the way, the start included.
template <typename Value, typename Visit>
void tabuWalk(FlipSearch<Value>& search, EventSet start, std::int32_t moves, Visit&& visit) {
  search.start(start);
  visit(search.atom(), search.value());
  const std::int32_t n = search.events();
  const std::int32_t tenure = std::min(n - 1, 2 + n / 8);
  std::vector<std::int32_t> tabuUntil(static_cast<std::size_t>(n), 0);
  Value best = search.value();
  std::int32_t sinceBest = 0;
  for (std::int32_t move = 1; move <= moves && sinceBest <= n + 4; ++move) {
    std::int32_t chosen = -1;
    Value chosenValue{};
    for (std::int32_t event = 0; event < n; ++event) {
      const Value value = search.valueAfterFlip(event);
      if (tabuUntil[static_cast<std::size_t>(event)] >= move && !(value < best)) continue;
      if (chosen < 0 || value < chosenValue) {
        chosen = event;
        chosenValue = value;
      }
    }
    if (chosen < 0) return;
    search.flip(chosen);
    tabuUntil[static_cast<std::size_t>(chosen)] = move + tenure;
    visit(search.atom(), search.value());
    if (search.value() < best) {
      best = search.value();
      sinceBest = 0;
    } else {
      ++sinceBest;
    }
  }
}

// Random atoms of varied density, from the generator's raw words (the same
// on every platform).
EventSet randomAtom(std::mt19937_64& generator, std::int32_t n, std::int32_t which) {
  EventSet atom = generator();
  switch (which % 4) {
    case 1:
      atom &= generator();  // a quarter of the events
      break;
    case 2:
      atom |= generator();  // three quarters
      break;
    case 3:
      atom &= generator() & generator();  // an eighth
      break;
    default:
      break;
  }
  return atom & allEvents(n);
}

// The branch and bound over the events in a fixed order: the node at depth
// d has fixed the events at positions 0..d-1 (to 1, in the atom, or 0) and
// leaves the rest free. The reduced cost is c - P, P the sum of the terms
// (merged rows) within the atom; a node's bound is the cost's best case
// minus an upper bound on P over the node's atoms, from a linear function
//   P <= constant + sum over free e of a_e x_e <= constant + sum of max(0, a_e)
// that lies above P on every atom of the node. Terms wholly fixed to 1 go
// to the constant, those of one free event e to a_e, and those of two or
// more free events are over-estimated one by one:
// - a positive term w * x_e * (its other free events) <= w * x_e, for any
//   one of its free events e: it is "charged" to the free event where it
//   raises max(0, a_e) least (a negative a_e absorbs it), the heaviest first;
// - a negative term w * (product of its k free events) <= t * (sum of those
//   x_e - (k - 1)) for any t from w to 0, as the product is at least 0 and
//   at least that sum minus k - 1. Once every positive term is charged, the
//   bound takes -t as large as keeps each a_e of its events at 0 or above:
//   the k a_e fall by -t and the constant rises by (k - 1) * -t, which
//   lowers the bound by -t.
// The cost adds its own case split: an atom below atLeast events pays
// nothing but may take at most atLeast - 1 - (ones fixed) more events, so
// only that many of the largest max(0, a_e); an atom at or above pays the
// cost in full. At a leaf the bound is the reduced cost itself.
//
// No sum overflows: while the positive terms are charged each a_e adds
// distinct terms, and each negative term's -t lowers the sum of the
// max(0, a_e) by k * -t while it raises the constant by (k - 1) * -t, so the
// constant and that sum never add up beyond the magnitudes of the terms,
// below 2^62 with 2^shift (checkMagnitudes).
class BranchAndBound {
 public:
  BranchAndBound(std::int32_t n, const Polynomial<std::int64_t>& polynomial, std::int64_t cost,
                 std::int32_t atLeast, std::vector<std::int32_t> eventAt)
      : n_(n),
        cost_(cost),
        atLeast_(atLeast),
        eventAt_(std::move(eventAt)),
        firstStep_(static_cast<std::size_t>(n) + 1, 0),
        linear_(static_cast<std::size_t>(n), 0),
        fixed_(polynomial.constant),
        charges_(static_cast<std::size_t>(n)),
        gains_(static_cast<std::size_t>(n) + 1),
        losses_(static_cast<std::size_t>(n) + 1) {
    std::vector<std::int32_t> positionOf(static_cast<std::size_t>(n));
    for (std::int32_t p = 0; p < n; ++p)
      positionOf[static_cast<std::size_t>(eventAt_[static_cast<std::size_t>(p)])] = p;
    std::vector<std::vector<Step>> byPosition(static_cast<std::size_t>(n));
    std::vector<std::int32_t> positions;
    for (std::size_t t = 0; t < polynomial.terms.size(); ++t) {
      positions.clear();
      EventSet mask = 0;
      for (EventSet rest = polynomial.terms[t]; rest != 0; rest &= rest - 1) {
        const std::int32_t p = positionOf[static_cast<std::size_t>(std::countr_zero(rest))];
        positions.push_back(p);
        mask |= EventSet{1} << p;
      }
      std::sort(positions.begin(), positions.end());
      const std::int64_t weight = polynomial.weights[t];
      const auto last = static_cast<std::size_t>(positions.back());
      if (positions.size() == 1) {
        linear_[last] += weight;
      } else {
        (weight > 0 ? gains_ : losses_)[0].terms.push_back({mask, weight});
        byPosition[static_cast<std::size_t>(positions[positions.size() - 2])].push_back(
            {mask, weight, static_cast<std::int32_t>(last)});
      }
      byPosition[last].push_back({mask, weight, -1});
    }
    for (std::size_t p = 0; p < byPosition.size(); ++p) {
      steps_.insert(steps_.end(), byPosition[p].begin(), byPosition[p].end());
      firstStep_[p + 1] = steps_.size();
    }
    // The heaviest terms charged first, while the most a_e can absorb them.
    for (TermList* list : {&gains_[0], &losses_[0]}) {
      std::stable_sort(list->terms.begin(), list->terms.end(), [](const Term& a, const Term& b) {
        return (a.weight < 0 ? -a.weight : a.weight) > (b.weight < 0 ? -b.weight : b.weight);
      });
      list->count = list->terms.size();
    }
  }

  LeastReducedCost run(EventSet incumbent, std::int64_t incumbentValue, std::uint64_t nodeLimit,
                       const std::function<void(std::uint64_t)>& visited) {
    visited_ = &visited;
    best_ = incumbent;
    least_ = incumbentValue;
    nodeLimit_ = std::max<std::uint64_t>(1, nodeLimit);
    visit(0, 0, std::numeric_limits<std::int64_t>::min());  // the root is always visited
    LeastReducedCost result;
    result.least = least_;
    result.atom = best_;
    result.nodes = nodes_;
    result.complete = !stopped_;
    result.lowerBound = stopped_ ? std::min(least_, openBound_) : least_;
    return result;
  }

 private:
  // A term of two or more events, its events as positions.
  struct Term {
    EventSet positions;
    std::int64_t weight;
  };
  // Terms, the first `count` of them in use.
  struct TermList {
    std::vector<Term> terms;
    std::size_t count = 0;
  };
  // What fixing an event to 1 does to a term alive: at the term's last
  // position it is wholly fixed (to the constant); at the one before, its
  // last event is left alone (to a_e of `last`).
  struct Step {
    EventSet positions;
    std::int64_t weight;
    std::int32_t last;  // -1 at the term's last position
  };

  // Visits the node unless the node limit is spent; a node not visited is
  // left open, its least reduced cost at least its own bound and its
  // parent's.
  void visit(std::int32_t depth, std::int32_t ones, std::int64_t parentBound) {
    if (nodes_ >= nodeLimit_) {
      stopped_ = true;
      openBound_ = std::min(openBound_, std::max(parentBound, boundAt(depth, ones)));
      return;
    }
    ++nodes_;
    if ((nodes_ & 0xffff) == 0 && *visited_) (*visited_)(nodes_);
    const std::int64_t bound = boundAt(depth, ones);
    if (bound >= least_) return;
    if (depth == n_) {
      least_ = bound;
      best_ = ones_;
      return;
    }
    // The incumbent's choice first: it leads back to it, and on to better
    // atoms near it, with the bound at its tightest.
    const EventSet event = EventSet{1} << eventAt_[static_cast<std::size_t>(depth)];
    const bool firstValue = (best_ & event) != 0;
    for (const bool value : {firstValue, !firstValue}) {
      fix(depth, value, 1);
      visit(depth + 1, ones + (value ? 1 : 0), bound);
      fix(depth, value, -1);
    }
  }

  // Fixes the event at `depth` (direction 1) or undoes that (direction -1).
  void fix(std::int32_t depth, bool value, std::int64_t direction) {
    const EventSet event = EventSet{1} << eventAt_[static_cast<std::size_t>(depth)];
    if (!value) {
      zeros_ ^= EventSet{1} << depth;
      return;
    }
    ones_ ^= event;
    const std::size_t end = firstStep_[static_cast<std::size_t>(depth) + 1];
    for (std::size_t i = firstStep_[static_cast<std::size_t>(depth)]; i < end; ++i) {
      const Step& step = steps_[i];
      if ((step.positions & zeros_) != 0) continue;  // an earlier event of it is 0
      (step.last < 0 ? fixed_ : linear_[static_cast<std::size_t>(step.last)]) +=
          direction * step.weight;
    }
  }

  // The bound of the node; also keeps in gains_[depth] and losses_[depth]
  // the terms alive at the node with two or more free events.
  std::int64_t boundAt(std::int32_t depth, std::int32_t ones) {
    const auto at = static_cast<std::size_t>(depth);
    for (std::size_t p = at; p < charges_.size(); ++p) charges_[p] = linear_[p];
    std::int64_t* const charges = charges_.data();
    const EventSet unfixed = ~((EventSet{1} << depth) - 1);
    const std::span<const Term> gains = alive(gains_, depth);
    for (const Term& term : gains) {
      std::int64_t* chosen = nullptr;
      std::int64_t chosenRise = std::numeric_limits<std::int64_t>::max();
      for (EventSet rest = term.positions & unfixed; rest != 0; rest &= rest - 1) {
        std::int64_t* const charge = charges + std::countr_zero(rest);
        const std::int64_t rise =
            std::max<std::int64_t>(0, *charge + term.weight) - std::max<std::int64_t>(0, *charge);
        if (rise < chosenRise) {
          chosenRise = rise;
          chosen = charge;
        }
      }
      *chosen += term.weight;
    }
    const std::span<const Term> losses = alive(losses_, depth);
    std::int64_t constant = fixed_;
    for (const Term& term : losses) {
      const EventSet open = term.positions & unfixed;
      std::int64_t take = -term.weight;
      std::int64_t others = -1;  // the free events but one
      for (EventSet rest = open; rest != 0; rest &= rest - 1) {
        take = std::min(take, charges[std::countr_zero(rest)]);
        ++others;
      }
      if (take <= 0) continue;
      for (EventSet rest = open; rest != 0; rest &= rest - 1)
        charges[std::countr_zero(rest)] -= take;
      constant += others * take;
    }
    std::int64_t sum = 0;
    for (std::size_t p = at; p < charges_.size(); ++p) {
      charges_[p] = std::max<std::int64_t>(0, charges_[p]);
      sum += charges_[p];
    }
    const std::int32_t free = n_ - depth;  // events
    const std::int64_t most = constant + sum;
    std::int64_t bound = std::numeric_limits<std::int64_t>::max();
    const bool canReach = ones + free >= atLeast_;  // an atom paying the cost
    const bool canStayBelow = ones < atLeast_;      // an atom not paying it
    if (canReach) bound = cost_ - most;
    if (canStayBelow) {
      const std::int32_t room = atLeast_ - 1 - ones;  // more events it may take
      // Needed only where the cost does not already make reaching it the worse case.
      const bool tighter = room < free && (!canReach || cost_ > 0);
      bound = std::min(bound, -(tighter ? constant + largestCharges(depth, room) : most));
    }
    return bound;
  }

  // The terms of lists[depth - 1] alive at the node with two or more free
  // events, kept in lists[depth]; each term is written and then kept or not,
  // without a branch.
  std::span<const Term> alive(std::vector<TermList>& lists, std::int32_t depth) {
    TermList& list = lists[static_cast<std::size_t>(depth)];
    if (depth > 0) {
      const TermList& parent = lists[static_cast<std::size_t>(depth) - 1];
      if (list.terms.size() < parent.count) list.terms.resize(parent.count);
      const EventSet unfixed = ~((EventSet{1} << depth) - 1);
      std::size_t kept = 0;
      for (std::size_t i = 0; i < parent.count; ++i) {
        const Term& term = parent.terms[i];
        list.terms[kept] = term;
        const EventSet open = term.positions & unfixed;
        kept +=
            static_cast<std::size_t>((term.positions & zeros_) == 0 && (open & (open - 1)) != 0);
      }
      list.count = kept;
    }
    return {list.terms.data(), list.count};
  }

  // The sum of the `count` largest of charges_[depth..n-1], reordering them.
  std::int64_t largestCharges(std::int32_t depth, std::int32_t count) {
    const auto begin = charges_.begin() + depth;
    std::nth_element(begin, begin + count, charges_.end(), std::greater<>());
    return std::accumulate(begin, begin + count, std::int64_t{0});
  }

  std::int32_t n_;
  std::int64_t cost_;
  std::int32_t atLeast_;
  std::vector<std::int32_t> eventAt_;   // by position
  std::vector<Step> steps_;             // by position
  std::vector<std::size_t> firstStep_;  // by position, into steps_
  std::vector<std::int64_t> linear_;    // by position: the alive terms of it as only free event
  std::int64_t fixed_;                  // the wholly fixed terms, all 1
  std::vector<std::int64_t> charges_;   // the a_e of boundAt, scratch
  // By depth, the alive terms of two or more free events: positive, negative.
  std::vector<TermList> gains_, losses_;
  EventSet zeros_ = 0;  // positions fixed to 0
  EventSet ones_ = 0;   // events fixed to 1
  EventSet best_ = 0;
  std::int64_t least_ = 0;
  std::uint64_t nodes_ = 0;
  std::uint64_t nodeLimit_ = 0;
  const std::function<void(std::uint64_t)>* visited_ = nullptr;
  bool stopped_ = false;
  std::int64_t openBound_ = std::numeric_limits<std::int64_t>::max();
};

// The same objective with atLeast from 0 to n + 1, where the bound's
// arithmetic on it cannot overflow.
AtomObjective clamped(AtomObjective objective, std::int32_t n) {
  objective.atLeast = std::clamp(objective.atLeast, 0, n + 1);
  return objective;
}

std::int64_t scaledCost(const DyadicMultipliers& y, const AtomObjective& objective) {
  const std::int64_t unit = std::int64_t{1} << y.shift;
  return objective.sign > 0 ? unit : objective.sign < 0 ? -unit : 0;
}

}  // namespace

std::int64_t atomReducedCost(std::int32_t n, const std::vector<AtomRow>& rows,
                             const DyadicMultipliers& y, const AtomObjective& objective,
                             EventSet atom) {
  checkRows("atomReducedCost", n, rows, y.numerators.size());
  checkMagnitudes("atomReducedCost", y);
  std::int64_t cost = std::popcount(atom) >= objective.atLeast ? scaledCost(y, objective) : 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if ((rows[r].events & ~atom) == 0) cost -= y.numerators[r];
  }
  return cost;
}

LeastReducedCost leastReducedCost(std::int32_t n, const std::vector<AtomRow>& rows,
                                  const DyadicMultipliers& y, const AtomObjective& asked,
                                  std::uint64_t nodeLimit, std::int32_t walks,
                                  const std::function<void(std::uint64_t)>& visited) {
  checkRows("leastReducedCost", n, rows, y.numerators.size());
  checkMagnitudes("leastReducedCost", y);
  const AtomObjective objective = clamped(asked, n);
  const Polynomial<std::int64_t> polynomial = polynomialOf(rows, y.numerators);
  const std::int64_t cost = scaledCost(y, objective);

  // An incumbent from short tabu walks, so that the bound prunes from the
  // first node: from the empty atom, the full one, then random ones.
  FlipSearch<std::int64_t> search(n, polynomial, cost, objective.atLeast);
  search.start(0);
  EventSet incumbent = 0;
  std::int64_t incumbentValue = search.value();
  const auto keepBest = [&](EventSet atom, std::int64_t value) {
    if (value < incumbentValue) {
      incumbent = atom;
      incumbentValue = value;
    }
  };
  std::mt19937_64 generator(0x9e3779b97f4a7c15);
  const std::int32_t moves = 2 * n + 10;
  for (std::int32_t walk = 0; walk < walks; ++walk) {
    const EventSet start = walk == 0   ? 0
                           : walk == 1 ? allEvents(n)
                                       : randomAtom(generator, n, walk);
    tabuWalk(search, start, moves, keepBest);
  }

  // The events that weigh most first: fixing them settles the most weight.
  std::vector<std::int64_t> weight(static_cast<std::size_t>(n), 0);
  for (std::size_t t = 0; t < polynomial.terms.size(); ++t) {
    const std::int64_t magnitude =
        polynomial.weights[t] < 0 ? -polynomial.weights[t] : polynomial.weights[t];
    for (EventSet rest = polynomial.terms[t]; rest != 0; rest &= rest - 1)
      weight[static_cast<std::size_t>(std::countr_zero(rest))] += magnitude;
  }
  std::vector<std::int32_t> eventAt(static_cast<std::size_t>(n));
  std::iota(eventAt.begin(), eventAt.end(), 0);
  std::stable_sort(eventAt.begin(), eventAt.end(), [&](std::int32_t a, std::int32_t b) {
    return weight[static_cast<std::size_t>(a)] > weight[static_cast<std::size_t>(b)];
  });

  BranchAndBound branchAndBound(n, polynomial, cost, objective.atLeast, std::move(eventAt));
  return branchAndBound.run(incumbent, incumbentValue, nodeLimit, visited);
}

std::vector<PricedAtom> searchNegativeAtoms(std::int32_t n, const std::vector<AtomRow>& rows,
                                            const std::vector<double>& duals,
                                            const AtomObjective& objective,
                                            const std::vector<EventSet>& starts,
                                            std::size_t maxAtoms,
                                            const AtomSearchOptions& options) {
  checkRows("searchNegativeAtoms", n, rows, duals.size());
  const Polynomial<double> polynomial = polynomialOf(rows, duals);
  const double cost = objective.sign > 0 ? 1.0 : objective.sign < 0 ? -1.0 : 0.0;
  const auto reducedCost = [&](EventSet atom) {
    double value = std::popcount(atom) >= objective.atLeast ? cost : 0.0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if ((rows[r].events & ~atom) == 0) value -= duals[r];
    }
    return value;
  };

  // The walks track the reduced cost by updates, which drift; an atom that
  // looks negative is priced again from the rows, once, and kept on that.
  std::vector<PricedAtom> found;
  std::unordered_set<EventSet> seen;
  const auto collect = [&](EventSet atom, double value) {
    if (!(value < -options.threshold) || !seen.insert(atom).second) return;
    const double exact = reducedCost(atom);
    if (exact < -options.threshold) found.push_back({atom, exact});
  };
  FlipSearch<double> search(n, polynomial, cost, objective.atLeast);
  const std::int32_t moves = options.movesPerStart > 0 ? options.movesPerStart : 2 * n + 10;
  if (maxAtoms > 0) {
    for (const EventSet start : starts) tabuWalk(search, start & allEvents(n), moves, collect);
    std::mt19937_64 generator(options.seed);
    for (std::int32_t walk = 0; walk < options.randomStarts; ++walk)
      tabuWalk(search, randomAtom(generator, n, walk), moves, collect);
  }
  std::sort(found.begin(), found.end(), [](const PricedAtom& a, const PricedAtom& b) {
    return a.reducedCost < b.reducedCost || (a.reducedCost == b.reducedCost && a.atom < b.atom);
  });
  if (found.size() > maxAtoms) found.resize(maxAtoms);
  return found;
}

}  // namespace intersections
