#include "study/seeded_draws.h"

#include <stdexcept>

namespace intersections {

SeededDraws::SeededDraws(unsigned seed) {
  // initstate_r requires a zeroed random_data; srand(seed) is srandom(seed) on
  // the process's state of the same size, so seeding this one with srandom_r
  // puts it where a seeded rand starts.
  if (initstate_r(seed, state_, stateBytes, &data_) != 0 || srandom_r(seed, &data_) != 0) {
    throw std::runtime_error("cannot set up the generator's state");
  }
}

int SeededDraws::operator()() {
  std::int32_t value = 0;
  random_r(&data_, &value);
  return value;
}

}  // namespace intersections
