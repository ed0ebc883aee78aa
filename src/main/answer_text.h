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
// longer (never inside a UTF-8 character); control characters are written as
// \xNN. Clears the state of `in` and reads from it.
std::string textFound(std::istream& in, const std::string& taken);

// Text from the input as a message shows it: cut after 32 bytes with "..."
// added when longer (never inside a UTF-8 character), control characters as
// \xNN. Only the first 33 bytes of `raw` matter.
std::string textForMessage(std::string raw);

}  // namespace intersections
