#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace intersections {

// Rows of cells, the first row the headings.
using TextTable = std::vector<std::vector<std::string>>;

// Writes `table` in columns two blanks apart, each line ending in LF and
// without trailing blanks: columns 1 to `leftAligned` aligned to the left,
// the others (column 0 always) to the right.
void writeTextTable(std::ostream& out, const TextTable& table, std::size_t leftAligned = 0);

// `text` broken at blanks into lines of at most `width` characters (a word
// longer than that stands alone), each ending in LF.
std::string wrappedText(const std::string& text, std::size_t width);

}  // namespace intersections
