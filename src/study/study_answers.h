#pragma once

#include <cstdint>
#include <string>

namespace intersections {

// The four answers of the intersections runs a study is made of, as given on
// the command line and as the dialogue reads them.
struct StudyAnswers {
  std::int32_t n = 0;
  std::int32_t density = 0;
  std::string probabilityText;  // P as given
  double probability = 0;       // P as the dialogue's extraction reads that text
  std::int32_t m = 0;
};

}  // namespace intersections
