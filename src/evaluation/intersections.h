#pragma once

#include <cstdint>
#include <string>

#include "evaluation/line_file.h"
#include "evaluation/writing_progress.h"
#include "instance/packed_columns.h"
#include "instance/types.h"

namespace intersections {

inline constexpr const char* outputFileName = "prob.txt";

// Writes "prob.txt" in the working directory: one line for every set of 1 to
// min(m, n) events, in the order of enumerateIndexSets(n, m), where n is the
// length of the first row of `matrix` (0 for a matrix without rows). A line
// holds the probability of the set, the sum of weights[j] over the rows j that
// have a 1 for every event of the set, added in ascending j with plain double
// additions, as writeProbability spells it, followed by CR LF. No set (m < 1
// or n < 1) gives an empty file.
//
// Each line reaches the file by itself, in one write, before the next line is
// made (with equal weights the row counts of up to 256 sets are worked out
// ahead of their lines). Memory depends on the size of the matrix alone, never
// on the number of lines. A signal that would end the process (any that
// openLineFile holds) while the file is open stops the writing after the line
// in progress; the file is closed with complete lines only, and the process
// then ends by that signal.
//
// Throws std::invalid_argument, before the file is touched, when a row is
// shorter than the first, an entry is neither 0 nor 1, or there are fewer
// weights than rows (extra weights and extra row entries are ignored).
// Throws OutputError when the file cannot be created or written, or another
// run holds its lock; the file then holds complete lines only.
void writeIntersectionProbabilities(std::int32_t m, DoubleSequence weights, EventMatrix matrix);

// The same, writing to `path` instead of "prob.txt".
void writeIntersectionProbabilitiesTo(const std::string& path, std::int32_t m,
                                      DoubleSequence weights, EventMatrix matrix);

// The same for the matrix held as packed columns (as generatePackedColumns
// gives it), without a copy of it: n is columns.events, the rows are
// columns.rows. Throws std::invalid_argument only for fewer weights than rows
// (or more than 2147483647 events). With `progress`, tells it the lines
// written every few thousand lines, and finishes it before the file is
// closed.
void writeIntersectionProbabilities(std::int32_t m, const DoubleSequence& weights,
                                    const PackedColumns& columns,
                                    WritingProgress* progress = nullptr);
void writeIntersectionProbabilitiesTo(const std::string& path, std::int32_t m,
                                      const DoubleSequence& weights, const PackedColumns& columns,
                                      WritingProgress* progress = nullptr);

}  // namespace intersections
