#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// What a program run in this process gave: its exit status and its two outputs.
struct Outcome {
  int status = -1;
  std::string out, err;
};

// union-bounds and bounds-study on `args` (the arguments after the
// program's name), without a terminal.
Outcome unionBoundsHere(const std::vector<std::string>& args);
Outcome boundsStudyHere(const std::vector<std::string>& args);

// intersections' dialogue with `answers` on its standard input, in `dir`.
Outcome intersectionsHere(const std::filesystem::path& dir, const std::string& answers);

}  // namespace testing_support
