#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "lines/observations.h"

namespace intersections {

// Chooses, from the lines of the orders kept in full, which lines of the
// next order to keep as well: their places within that order, ascending.
using LinePicker = std::function<std::vector<std::uint64_t>(const Observations&)>;

// Which lines of a file are kept one by one, besides the sums of every order:
// every line of orders 1 to keepOrders and, when `pick` is given and
// keepOrders >= 1, the lines of order keepOrders + 1 that it picks once the
// orders before are complete.
struct LineSelection {
  std::int32_t keepOrders = 2;
  LinePicker pick;
};

}  // namespace intersections
