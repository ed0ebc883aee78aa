#pragma once

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace intersections {

// Probabilities are held as whole numbers of units of 10^-9: 0.0625 is
// 62500000 units and 1 is unitsPerOne. Sums of units are exact integers; a
// rational is made only where a bound divides.
inline constexpr std::uint32_t unitsPerOne = 1000000000;

// A whole number of units as the exact probability it stands for.
mpq_class probabilityOfUnits(const mpz_class& units);

// What is known of one true probability: it lies in [low, high], in units,
// with 0 <= low <= high <= unitsPerOne.
struct UnitInterval {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  friend bool operator==(const UnitInterval&, const UnitInterval&) = default;
};

// The interval a value rounded to the last of nine decimals stands for: one
// unit either side, cut to [0, 1] (a line that reads 0 cannot be below 0).
constexpr UnitInterval oneUnitAround(std::uint32_t value) {
  return {value > 0 ? value - 1 : 0, value < unitsPerOne ? value + 1 : unitsPerOne};
}

// The intervals of a sequence of lines, in the order they were added. While
// every interval is oneUnitAround of some value (the lines of a nine-decimal
// file) the list holds the values alone, 4 bytes a line; the first interval of
// another kind makes it hold both ends of every line, 8 bytes a line.
class IntervalList {
 public:
  void reserve(std::size_t lines);
  // Adds the interval oneUnitAround(value).
  void pushValue(std::uint32_t value) {
    if (ends_.empty()) {
      values_.push_back(value);
    } else {
      ends_.push_back(oneUnitAround(value));
    }
  }
  void push(UnitInterval interval);

  std::size_t size() const { return ends_.empty() ? values_.size() : ends_.size(); }
  bool empty() const { return size() == 0; }
  UnitInterval operator[](std::size_t i) const {
    return ends_.empty() ? oneUnitAround(values_[i]) : ends_[i];
  }
  std::uint32_t low(std::size_t i) const { return (*this)[i].low; }
  std::uint32_t high(std::size_t i) const { return (*this)[i].high; }
  void clear();

 private:
  std::vector<std::uint32_t> values_;  // while every line is one unit around its value
  std::vector<UnitInterval> ends_;     // otherwise
};

// The value v whose oneUnitAround(v) is `interval`, if there is one.
std::optional<std::uint32_t> centreOfOneUnit(UnitInterval interval);

}  // namespace intersections
