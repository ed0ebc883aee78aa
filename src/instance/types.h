#pragma once

// The value types that every part of the program passes around.

#include <cstdint>
#include <deque>

namespace intersections {

// Signed 32-bit integers: a matrix row or column, an index set, or the
// indicator of an intersection over the outcomes.
using IntSequence = std::deque<std::int32_t>;

// The weight of each outcome, in row order.
using DoubleSequence = std::deque<double>;

// Rows of equal length: one row per outcome and one column per event, or,
// once transposed, one row per event.
using EventMatrix = std::deque<IntSequence>;

// Strictly increasing event numbers, counted from 1.
using IndexSet = IntSequence;

// Index sets by size ascending, lexicographic within a size.
using IndexSetList = std::deque<IndexSet>;

}  // namespace intersections
