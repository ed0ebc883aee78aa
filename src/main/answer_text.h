#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace intersections {

// Reads a number from `in` exactly as `in >> value` does: the same characters
// are taken from the input, `value` and the state of `in` end up the same.
// Also appends the characters taken to `taken`. Returns !in.fail().
bool extractNumber(std::istream& in, std::int32_t& value, std::string& taken);
bool extractNumber(std::istream& in, double& value, std::string& taken);

// The text that stood where a number was expected, for a message: `taken`
// (what the extraction took), then what follows in `in` up to the next white
// space or the end of the input. Cut after 32 bytes with "..." added when
// longer, as shownText shows it. Clears the state of `in` and reads from it.
std::string textFound(std::istream& in, const std::string& taken);

}  // namespace intersections
