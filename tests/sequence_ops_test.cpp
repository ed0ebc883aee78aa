#include "instance/sequence_ops.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace intersections {
namespace {

TEST(CoordProduct, MultipliesEntriesAsIntegers) {
  struct Case {
    IntSequence a, b, product;
  };
  const Case cases[] = {
      {{}, {}, {}},
      {{1, 0, 1, 1}, {1, 1, 0, 1}, {1, 0, 0, 1}},
      {{2, -3}, {4, 5}, {8, -15}},
      {{65536}, {65536}, {0}},  // wraps modulo 2^32
      {{-2147483647 - 1}, {-1}, {-2147483647 - 1}},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(coordProduct(c.a, c.b), c.product);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  }
}

TEST(CoordProduct, LengthMismatchWritesOneMessageAndGivesEmpty) {
  struct Case {
    IntSequence a, b;
  };
  const Case cases[] = {{{1, 1, 1}, {1, 1, 1, 1}}, {{}, {1}}, {{0, 1}, {}}};
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    const IntSequence product = coordProduct(c.a, c.b);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Coord product: wrong sizes!");
    EXPECT_TRUE(product.empty());
  }
}

TEST(Transpose, SwapsRowsAndColumns) {
  struct Case {
    EventMatrix matrix, expected;
  };
  const Case cases[] = {
      {{{1, 0}, {0, 1}, {1, 1}}, {{1, 0, 1}, {0, 1, 1}}},
      {{{7, 8, 9}}, {{7}, {8}, {9}}},
      {{{1, 2}, {3, 4, 5}}, {{1, 3}, {2, 4}}},  // entries past the first row's length dropped
      {{{}, {1, 2}, {3}}, {}},                  // empty first row
      {{}, {}},                                 // no rows
  };
  for (const Case& c : cases) EXPECT_EQ(transpose(c.matrix), c.expected);
}

TEST(Transpose, RefusesARowShorterThanTheFirst) {
  EXPECT_THROW(transpose(EventMatrix{{1, 0, 1}, {1, 1, 1}, {0, 1}}), std::invalid_argument);
}

TEST(Transpose, RoundTripGivesTheMatrixBack) {
  std::srand(7);
  for (int n : {1, 2, 5, 33}) {
    EventMatrix matrix(static_cast<std::size_t>(2 * n));
    for (IntSequence& row : matrix) {
      for (int e = 0; e < n; ++e) row.push_back(std::rand() % 2);
    }
    const EventMatrix columns = transpose(matrix);
    ASSERT_EQ(columns.size(), static_cast<std::size_t>(n));
    for (const IntSequence& column : columns) EXPECT_EQ(column.size(), matrix.size());
    EXPECT_EQ(transpose(columns), matrix);
  }
}

}  // namespace
}  // namespace intersections
