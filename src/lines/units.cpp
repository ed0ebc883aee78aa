#include "lines/units.h"

namespace intersections {

mpq_class probabilityOfUnits(const mpz_class& units) {
  mpq_class value(units, mpz_class(unitsPerOne));
  value.canonicalize();
  return value;
}

std::optional<std::uint32_t> centreOfOneUnit(UnitInterval interval) {
  // [0, 1] is around 0 and [10^9 - 1, 10^9] around 10^9; every other value v
  // has [v - 1, v + 1].
  const std::uint32_t centre = interval.low == 0 && interval.high == 1 ? 0
                               : interval.high == unitsPerOne && interval.low == unitsPerOne - 1
                                   ? unitsPerOne
                                   : interval.low + 1;
  if (centre > unitsPerOne || oneUnitAround(centre) != interval) return std::nullopt;
  return centre;
}

void IntervalList::reserve(std::size_t lines) {
  if (ends_.empty()) {
    values_.reserve(lines);
  } else {
    ends_.reserve(lines);
  }
}

void IntervalList::push(UnitInterval interval) {
  if (ends_.empty()) {
    if (const auto centre = centreOfOneUnit(interval)) {
      values_.push_back(*centre);
      return;
    }
    ends_.reserve(values_.capacity() > values_.size() ? values_.capacity() : values_.size() + 1);
    for (const std::uint32_t value : values_) ends_.push_back(oneUnitAround(value));
    std::vector<std::uint32_t>().swap(values_);
  }
  ends_.push_back(interval);
}

void IntervalList::clear() {
  std::vector<std::uint32_t>().swap(values_);
  std::vector<UnitInterval>().swap(ends_);
}

}  // namespace intersections
