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

// `rows` rows of n entries from the draws of `draw`, drawn as the 2n rows
// above are (one draw an entry, an attempt without a 1 drawn again): with
// rows = 2n they are exactly generatePackedColumns(n, density, draw). No rows,
// with no draw, when n < 1 or rows is 0; the same conditions on density.
PackedColumns generatePackedColumns(std::int32_t n, std::int32_t density, std::size_t rows,
                                    const std::function<int()>& draw);

// `rows` copies of P / rows; with rows = 2n, makeWeights(n, P). Empty for no rows.
DoubleSequence equalWeights(std::size_t rows, double P);

// `rows` outcome weights from the next `rows` draws of `draw`, one an
// outcome in row order: a draw r (0 to RAND_MAX) gives the outcome the raw
// weight r + 1, and its weight is ((r + 1) / U * P) * (1 - 2^-48), U the sum
// of the raw weights, each operation in double: the last factor makes up for
// the roundings, so that for P >= 10^-280 the weights are positive and add
// up to less than P, exactly, by about 2^-48 P (P = 0 gives zeros). The same
// draws give the same weights on every machine, and the weights for P are
// those for 1 scaled by P up to rounding. Empty, with no draw, for no rows.
DoubleSequence drawRandomWeights(std::size_t rows, double P, const std::function<int()>& draw);

// 2n copies of P / (2n), with 2n computed in signed 32-bit arithmetic; empty
// when n < 1. The caller must make sure that 2n fits.
DoubleSequence makeWeights(std::int32_t n, double P);

}  // namespace intersections
