#include "bounds/pair_consistency.h"

#include <cstdint>

namespace intersections {

// The three conditions are necessary: b_ij <= a_i <= high(a_i) with
// b_ij >= low(b_ij), and the union a_i + a_j - b_ij is at least
// low(a_i) + low(a_j) - high(b_ij). They are enough: let t be the least of
// high(b_ij), low(a_i) and low(a_j). If t >= low(b_ij), take b_ij = t and both
// singles at their low ends: the union is at most 1 by the third condition
// when t = high(b_ij), and is the larger low end otherwise. If not, take
// b_ij at its low end and each single at the larger of its low end and b_ij,
// which the first two conditions allow: the union is then the larger single
// or b_ij itself, at most 1.
std::optional<PairConflict> firstInconsistentPair(const PairTable& table) {
  const std::size_t n = table.events();
  const IntervalList& singles = table.singles();
  const IntervalList& pairs = table.pairs();
  std::size_t pair = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const UnitInterval ai = singles[i];
    for (std::size_t j = i + 1; j < n; ++j, ++pair) {
      const UnitInterval aj = singles[j];
      const UnitInterval bij = pairs[pair];
      std::optional<PairConflict::Kind> kind;
      if (bij.low > ai.high) {
        kind = PairConflict::pairAboveFirst;
      } else if (bij.low > aj.high) {
        kind = PairConflict::pairAboveSecond;
      } else if (std::uint64_t{ai.low} + aj.low > std::uint64_t{unitsPerOne} + bij.high) {
        kind = PairConflict::unionAboveOne;
      }
      if (kind) return PairConflict{i, j, pair, *kind};
    }
  }
  return std::nullopt;
}

}  // namespace intersections
