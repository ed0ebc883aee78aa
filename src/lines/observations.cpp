#include "lines/observations.h"

#include <limits>

namespace intersections {

namespace {

void addTo(mpz_class& sum, std::uint64_t amount) {
  static_assert(sizeof(unsigned long) == sizeof amount, "units are added as unsigned long");
  mpz_add_ui(sum.get_mpz_t(), sum.get_mpz_t(), static_cast<unsigned long>(amount));
}

void subtractFrom(mpz_class& sum, std::uint64_t amount) {
  mpz_sub_ui(sum.get_mpz_t(), sum.get_mpz_t(), static_cast<unsigned long>(amount));
}

}  // namespace

void OrderSums::add(std::uint32_t line, UnitInterval interval) {
  addTo(value, line);
  addTo(low, interval.low);
  addTo(high, interval.high);
  ++lines;
}

void OrderSums::addOneUnitLines(std::uint64_t sum, std::uint64_t count, std::uint64_t zeros,
                                std::uint64_t ones) {
  // Each line is one unit lower and one unit higher, except that a 0 cannot
  // be lower and a 1 cannot be higher.
  addTo(value, sum);
  addTo(low, sum);
  subtractFrom(low, count - zeros);
  addTo(high, sum);
  addTo(high, count - ones);
  lines += count;
}

std::uint64_t linesOfOrder(std::int32_t n, std::int32_t k) {
  if (k < 0 || n < k) return 0;
  mpz_class count;
  mpz_bin_uiui(count.get_mpz_t(), static_cast<unsigned long>(n), static_cast<unsigned long>(k));
  if (mpz_sizeinbase(count.get_mpz_t(), 2) > 64) return std::numeric_limits<std::uint64_t>::max();
  return mpz_get_ui(count.get_mpz_t());
}

}  // namespace intersections
