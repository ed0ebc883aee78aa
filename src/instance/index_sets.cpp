#include "instance/index_sets.h"

#include <algorithm>

#include "instance/binomial.h"

namespace intersections {

namespace {

// The set of the given rank among the sets of `size` events out of n, in
// lexicographic order: each entry is the first candidate v at which the
// number of sets that start with v, C(n - v, still to follow), exceeds what is
// left of the rank.
IndexSet unrankIndexSet(std::int32_t n, std::int32_t size, std::int32_t rank) {
  IndexSet set;
  std::int32_t remainder = rank;
  std::int32_t candidate = 0;
  for (std::int32_t position = 1; position <= size; ++position) {
    const std::int32_t toFollow = size - position;
    for (;;) {
      ++candidate;
      const std::int32_t before = remainder;
      remainder -= binomial(n - candidate, toFollow);
      if (remainder < 0) {
        remainder = before;
        break;
      }
    }
    set.push_back(candidate);
  }
  return set;
}

template <typename Set>
int stepIndexSet(Set& set, std::int32_t n, std::int32_t m) {
  const std::int64_t largest = std::min<std::int64_t>(m, n);
  const auto size = static_cast<std::int64_t>(set.size());
  // Positions are signed, as the bounds below are; each one used lies within the set.
  auto at = [&set](std::int64_t position) -> auto& {
    return set[static_cast<std::size_t>(position)];
  };
  // The rightmost entry that can still grow: entry i (from 0) of a set of
  // `size` events is at most n - size + 1 + i.
  for (std::int64_t i = size - 1; i >= 0; --i) {
    if (at(i) < n - size + 1 + i) {
      ++at(i);
      for (std::int64_t j = i + 1; j < size; ++j) at(j) = at(j - 1) + 1;
      return static_cast<int>(i);
    }
  }
  if (size >= largest) return -1;
  set.push_back(0);
  for (std::int64_t j = 0; j <= size; ++j) at(j) = static_cast<std::int32_t>(j + 1);
  return 0;
}

}  // namespace

IndexSetList enumerateIndexSets(std::int32_t n, std::int32_t m) {
  IndexSetList list;
  // 64-bit sizes: m may be 2147483647, whose successor does not fit.
  const std::int64_t largest = std::min<std::int64_t>(m, n);
  // Every coefficient the unranking needs is at most C(n, size) for some
  // size: asking for each once first refuses a size beyond the 32-bit limit
  // before the smaller sizes have filled memory.
  for (std::int64_t size = 1; size <= largest; ++size) binomial(n, static_cast<std::int32_t>(size));
  for (std::int64_t size = 1; size <= largest; ++size) {
    const auto i = static_cast<std::int32_t>(size);
    for (std::int32_t rank = 0; rank < binomial(n, i); ++rank) {
      list.push_back(unrankIndexSet(n, i, rank));
    }
  }
  return list;
}

int nextIndexSet(IndexSet& set, std::int32_t n, std::int32_t m) { return stepIndexSet(set, n, m); }

int nextIndexSet(std::vector<std::int32_t>& set, std::int32_t n, std::int32_t m) {
  return stepIndexSet(set, n, m);
}

}  // namespace intersections
