#pragma once

#include <cstdint>
#include <vector>

#include "instance/types.h"

namespace intersections {

// Every set of 1 to min(m, n) events out of 1..n: sizes ascending, each size in
// lexicographic order, each set unranked from its rank alone. Empty when
// n < 1 or m < 1. Throws std::overflow_error (from binomial) when a
// coefficient it needs does not fit in a signed 32-bit integer, which first
// happens at n = 34, size 17; it never returns a wrong list. The whole list
// is held in memory: 2^n - 1 sets when m >= n.
IndexSetList enumerateIndexSets(std::int32_t n, std::int32_t m);

// Steps `set` to the set that follows it in the order of enumerateIndexSets(n, m)
// without listing the others: an empty set steps to {1}, the last set of a
// size to {1, ..., size + 1}. Returns the first position (from 0) whose entry
// changed, or -1, leaving `set` as it was, when it was the last set. Memory
// and time per step depend on the set's size only, and no coefficient is
// computed, so there is no 32-bit limit. `set` must be empty or a set that
// enumerateIndexSets(n, m) contains.
int nextIndexSet(IndexSet& set, std::int32_t n, std::int32_t m);

// The same on a contiguous set, for callers that step through millions of sets.
int nextIndexSet(std::vector<std::int32_t>& set, std::int32_t n, std::int32_t m);

}  // namespace intersections
