#pragma once

#include <cstdint>
#include <functional>

#include "instance/packed_columns.h"
#include "instance/types.h"

namespace intersections {

// 2n random outcome rows of n entries, drawn with std::rand (never seeded
// here). Each entry of an attempt takes one draw r, every entry is drawn, and
// the entry is 1 when r % 100 + 1 <= density; an attempt without a 1 is
// discarded and drawn again. Empty, with no draw, when n < 1.
// The caller must make sure that 2n fits in a signed 32-bit integer and that
// density >= 1 when n >= 1: otherwise no row can ever be accepted and the
// call never returns.
EventMatrix generateEventMatrix(std::int32_t n, std::int32_t density);

// The same rows, from the same draws in the same order, held as packed
// columns: for the same generator state, row j of generateEventMatrix(n,
// density) is row j here, and the generator is left in the same state. About
// n^2 / 4 bytes instead of the deques' 8 n^2. No rows, with no draw, when
// n < 1; the same conditions on n and density.
PackedColumns generatePackedColumns(std::int32_t n, std::int32_t density);

// The same rows from the draws of `draw` instead of std::rand, which is left
// alone: each call must give the value std::rand would give in its place.
// For callers that draw many instances at once, each from a generator state
// of its own.
PackedColumns generatePackedColumns(std::int32_t n, std::int32_t density,
                                    const std::function<int()>& draw);

// 2n copies of P / (2n), with 2n computed in signed 32-bit arithmetic; empty
// when n < 1. The caller must make sure that 2n fits.
DoubleSequence makeWeights(std::int32_t n, double P);

}  // namespace intersections
