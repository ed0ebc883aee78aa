#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace intersections {

// A list of whole numbers as a command line gives it: items separated by
// commas, each a number or a range A:B (A, A + 1, ..., B) or A:B:STEP (A,
// A + STEP, ... up to B), A <= B and STEP >= 1; every number from `smallest`
// to `largest`. The numbers in the order given, each once (a later repeat is
// dropped). Nothing for any other text, or for more than `most` numbers.
std::optional<std::vector<std::int64_t>> parseWholeList(const std::string& text,
                                                        std::int64_t smallest, std::int64_t largest,
                                                        std::size_t most = 100000);

// The items of a list separated by commas, "" for none; empty items are kept.
std::vector<std::string> listItems(const std::string& text);

}  // namespace intersections
