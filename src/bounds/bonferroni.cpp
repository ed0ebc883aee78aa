#include "bounds/bonferroni.h"

#include <stdexcept>

namespace intersections {

// Why these are bounds. An outcome in which exactly m events occur adds
// C(m, j) to S_j, so it adds T = sum_{j=r}^{k} (-1)^(j-r) C(j-1, r-1) C(m, j)
// to the sum, against 1 or 0 to P(at least r). For m < r every term is 0.
// For m >= r the full sum (k >= m) is 1, and (-1)^(k-r) (T - 1) >= 0: the
// Bonferroni-type inequalities for at least r of the events (Galambos, 1977),
// for r = 1 the identity T = 1 - (-1)^k C(m - 1, k). So each outcome adds
// at least (k - r even) or at most (k - r odd) what it adds to the
// probability, and so does their weighted sum.
mpz_class bonferroniAtLeast(const std::vector<mpz_class>& moments, std::int32_t r) {
  if (r < 1) throw std::invalid_argument("bonferroniAtLeast: r must be at least 1");
  mpz_class sum, coefficient;
  for (std::size_t index = static_cast<std::size_t>(r) - 1; index < moments.size(); ++index) {
    const auto j = static_cast<unsigned long>(index + 1);
    mpz_bin_uiui(coefficient.get_mpz_t(), j - 1, static_cast<unsigned long>(r) - 1);
    if ((j - static_cast<unsigned long>(r)) % 2 == 0) {
      sum += coefficient * moments[index];
    } else {
      sum -= coefficient * moments[index];
    }
  }
  return sum;
}

}  // namespace intersections
