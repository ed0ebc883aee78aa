#include "bounds/atom_certificate.h"

#include <bit>
#include <cmath>
#include <stdexcept>

#include "lines/units.h"

namespace intersections {

DyadicMultipliers dyadicMultipliers(const std::vector<double>& y) {
  double total = 1;
  for (const double value : y) {
    if (std::isfinite(value)) total += std::fabs(value);
  }
  // total * 2^shift <= 2^61, with room for each entry's rounding.
  int exponent = 0;
  std::frexp(total, &exponent);  // total < 2^exponent
  DyadicMultipliers result;
  result.shift = std::min(60, 61 - exponent);
  if (result.shift < 0) throw std::overflow_error("dyadicMultipliers: multipliers too large");
  result.numerators.reserve(y.size());
  for (const double value : y) {
    result.numerators.push_back(std::isfinite(value) ? std::llround(std::ldexp(value, result.shift))
                                                     : 0);
  }
  return result;
}

void atomReducedCosts(std::int32_t n, const std::vector<AtomRow>& rows, const DyadicMultipliers& y,
                      const AtomObjective& objective, std::vector<std::int64_t>& reducedCosts) {
  if (n < 1 || n > 30 || rows.size() != y.numerators.size())
    throw std::invalid_argument("atomReducedCosts: wrong sizes");
  const std::size_t atoms = std::size_t{1} << n;
  reducedCosts.assign(atoms, 0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].events >= atoms) throw std::invalid_argument("atomReducedCosts: row out of range");
    reducedCosts[rows[r].events] -= y.numerators[r];
  }
  // Subset sums: after the pass over bit i, entry T holds the sum over the
  // sets that differ from T only in bits 0..i and lie within T. Every partial
  // sum is a sum of some of the numerators, below 2^62 in magnitude.
  for (std::size_t bit = 1; bit < atoms; bit <<= 1) {
    for (std::size_t base = 0; base < atoms; base += 2 * bit) {
      std::int64_t* const low = reducedCosts.data() + base;
      std::int64_t* const high = low + bit;
      for (std::size_t j = 0; j < bit; ++j) high[j] += low[j];
    }
  }
  if (objective.sign == 0) return;
  const std::int64_t cost =
      objective.sign > 0 ? (std::int64_t{1} << y.shift) : -(std::int64_t{1} << y.shift);
  for (std::size_t atom = 0; atom < atoms; ++atom) {
    if (std::popcount(atom) >= objective.atLeast) reducedCosts[atom] += cost;
  }
}

mpq_class provedLowerBound(const std::vector<AtomRow>& rows, const DyadicMultipliers& y,
                           std::int64_t least) {
  if (rows.size() != y.numerators.size())
    throw std::invalid_argument("provedLowerBound: wrong sizes");
  // Every x has sum_T x_T = unitsPerOne: the least reduced cost times that
  // bounds the reduced costs' part from below, and each row's part
  // y_r * (its sum) from below by the end that y_r's sign picks.
  mpz_class total = mpz_class(static_cast<long>(least)) * unitsPerOne;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::int64_t numerator = y.numerators[r];
    const std::uint32_t end = numerator > 0 ? rows[r].low : rows[r].high;
    total += mpz_class(static_cast<long>(numerator)) * end;
  }
  mpz_class denominator = unitsPerOne;
  denominator <<= static_cast<mp_bitcnt_t>(y.shift);  // 0 to 60, see dyadicMultipliers
  mpq_class bound(total, denominator);
  bound.canonicalize();
  return bound;
}

}  // namespace intersections
