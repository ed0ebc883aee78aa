#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "evaluation/number_format.h"

namespace intersections {

// A line of the output file: the probability as writeProbability spells it,
// then CR LF. For a value from 0 to 1 that is always the 13 bytes
// "d.ddddddddd\r\n".
inline constexpr char lineEnd[] = "\r\n";
inline constexpr std::size_t lineEndLength = 2;
inline constexpr std::size_t maxLineLength = maxProbabilityLength + lineEndLength;
inline constexpr std::size_t probabilityLineLength = 13;

// Writes the line of `value` into `out`, which must hold maxLineLength
// characters, and returns its length.
std::size_t writeLineText(double value, char* out);

// The lines of the sums of k equal weights, added one after another as the
// evaluator adds them, for k = 0..rows: with equal weights, the line of a set
// found in k rows is line k.
struct LineTable {
  std::string text;                  // the lines one after another, CR LF included
  std::vector<std::size_t> offsets;  // line k is text[offsets[k], offsets[k + 1])

  const char* line(std::size_t k) const { return text.data() + offsets[k]; }
  std::size_t length(std::size_t k) const { return offsets[k + 1] - offsets[k]; }
};
LineTable equalWeightLines(double weight, std::size_t rows);

}  // namespace intersections
