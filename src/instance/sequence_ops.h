#pragma once

#include "instance/types.h"

namespace intersections {

// The matrix with rows and columns swapped: K rows of length R, where R is
// the number of rows and K the length of the first row. Entries of a later
// row beyond position K - 1 are not copied. A matrix without rows, or whose
// first row is empty, gives an empty matrix. Throws std::invalid_argument
// when a later row is shorter than the first.
EventMatrix transpose(EventMatrix matrix);

// The entry-wise product of two sequences of equal length. On a length
// mismatch writes "Coord product: wrong sizes!" to standard output, with no
// line break, and returns an empty sequence. A product outside the signed
// 32-bit range wraps modulo 2^32.
IntSequence coordProduct(IntSequence a, IntSequence b);

}  // namespace intersections
