#pragma once

#include <gmpxx.h>

#include <string>

namespace intersections {

// The known union probability, as the user gave it and as its exact value.
struct KnownUnion {
  std::string text;
  mpq_class value;
};

}  // namespace intersections
