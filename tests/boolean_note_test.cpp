#include "reporting/boolean_note.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace intersections;

// Why the Boolean bounds stop short of a file's last order, in each mode.
TEST(BooleanNote, SaysWhyTheBooleanBoundsStop) {
  using Stop = BooleanScope;
  const MemoryLimit machine{3.5 * 1048576, "of memory available on this machine"};
  struct Case {
    std::int32_t n, orders;
    BooleanMode mode;
    BooleanScope scope;
    std::string note;
  };
  const std::string leftOut = "the Boolean bounds are left out";
  const Case cases[] = {
      {50, 2, BooleanMode::cheap, {0, Stop::tooManyEvents}, leftOut + ": n = 50 is more than 48"},
      {50, 2, BooleanMode::all, {0, Stop::tooManyEvents}, leftOut + ": n = 50 is more than 48"},
      {20,
       2,
       BooleanMode::cheap,
       {0, Stop::tooManyEvents},
       leftOut + ": n = 20 is more than 14 (--boolean raises it to 48)"},
      {12,
       6,
       BooleanMode::cheap,
       {4, Stop::tooManyLines, 1585},
       leftOut + " from order 5 on: orders 1 to 5 have 1,585 lines, more than 800 (--boolean "
                 "raises the limit to 6,000)"},
      {20,
       6,
       BooleanMode::cheap,
       {3, Stop::tooManyLines, 6195},
       leftOut + " from order 4 on: orders 1 to 4 have 6,195 lines, more than 6,000"},
      {20,
       6,
       BooleanMode::all,
       {3, Stop::tooManyLines, 6195},
       leftOut + " from order 4 on: orders 1 to 4 have 6,195 lines, more than 6,000"},
      {24,
       3,
       BooleanMode::all,
       {2, Stop::tooLittleMemory, 0, 4.2 * 1048576},
       leftOut + " from order 3 on: order 3 needs about 5 MB, more than the 3 MB of memory "
                 "available on this machine"},
      {24,
       3,
       BooleanMode::all,
       {0, Stop::tooLittleMemory, 0, 4.2 * 1048576},
       leftOut + ": order 1 needs about 5 MB, more than the 3 MB of memory available on this "
                 "machine"},
      // The file ends before the order that stopped them, or they were not wanted.
      {16, 3, BooleanMode::cheap, {3, Stop::tooManyLines, 1585}, ""},
      {16, 3, BooleanMode::cheap, {3, Stop::allOrders}, ""},
      {16, 3, BooleanMode::none, {0, Stop::switchedOff}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    EXPECT_EQ(booleanNote(c.n, c.orders, c.mode, c.scope, machine), c.note);
  }
}

}  // namespace
