#pragma once

#include <stdlib.h>

#include <cstdint>

namespace intersections {

// The sequence that std::rand gives after std::srand(seed), from a state of
// its own (glibc's reentrant random_r), so that threads can draw instances
// side by side while each gets exactly the draws of a run seeded with its seed.
// Not copyable: the generator's state points into the object.
class SeededDraws {
 public:
  explicit SeededDraws(unsigned seed);
  SeededDraws(const SeededDraws&) = delete;
  SeededDraws& operator=(const SeededDraws&) = delete;

  // The next value, from 0 to RAND_MAX.
  int operator()();

 private:
  // glibc's rand keeps a table of 31 words and their type, 128 bytes; random_r
  // on a state of that size follows the same recurrence.
  static constexpr std::size_t stateBytes = 128;
  alignas(std::int32_t) char state_[stateBytes];
  random_data data_{};
};

}  // namespace intersections
