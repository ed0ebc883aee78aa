#include "instance/random_instance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>

#include "study/seeded_draws.h"

namespace intersections {
namespace {

// The next value std::rand would give: draws it, so call it last.
int nextDraw() { return std::rand(); }

// The value std::rand gives after `draws` draws from `seed`.
int drawAfter(unsigned seed, int draws) {
  std::srand(seed);
  for (int i = 0; i < draws; ++i) std::rand();
  return std::rand();
}

TEST(GenerateEventMatrix, FullDensityGivesOnesFromOneDrawPerEntry) {
  for (std::int32_t density : {100, 101, 2147483647}) {
    std::srand(11);
    const EventMatrix matrix = generateEventMatrix(3, density);
    const int following = nextDraw();
    EXPECT_EQ(matrix, EventMatrix(6, IntSequence{1, 1, 1}));
    EXPECT_EQ(following, drawAfter(11, 18)) << "density " << density;
  }
}

TEST(GenerateEventMatrix, RowsHaveLengthNAndAtLeastOneOne) {
  struct Case {
    std::int32_t n, density;
  };
  const Case cases[] = {{1, 1}, {1, 50}, {2, 1}, {5, 10}, {12, 50}, {40, 3}, {65, 100}};
  for (const Case& c : cases) {
    std::srand(3);
    const EventMatrix matrix = generateEventMatrix(c.n, c.density);
    ASSERT_EQ(matrix.size(), static_cast<std::size_t>(2 * c.n));
    for (const IntSequence& row : matrix) {
      ASSERT_EQ(row.size(), static_cast<std::size_t>(c.n));
      EXPECT_TRUE(std::all_of(row.begin(), row.end(), [](int x) { return x == 0 || x == 1; }));
      EXPECT_NE(std::count(row.begin(), row.end(), 1), 0);
    }
  }
}

TEST(GenerateEventMatrix, DrawsEveryEntryOfEveryAttempt) {
  // With density 1 most attempts are rejected. Replaying the draws with the
  // acceptance rule must account for the generator's state exactly.
  const std::int32_t n = 4, density = 1;
  std::srand(5);
  const EventMatrix matrix = generateEventMatrix(n, density);
  const int following = nextDraw();

  std::srand(5);
  EventMatrix replay;
  while (replay.size() < 2 * static_cast<std::size_t>(n)) {
    IntSequence row;
    for (int e = 0; e < n; ++e) row.push_back(std::rand() % 100 + 1 <= density ? 1 : 0);
    if (std::count(row.begin(), row.end(), 1) > 0) replay.push_back(row);
  }
  EXPECT_EQ(matrix, replay);
  EXPECT_EQ(following, std::rand());
}

TEST(GenerateEventMatrix, SameSeedSameMatrix) {
  std::srand(1234);
  const EventMatrix first = generateEventMatrix(9, 30);
  std::srand(1234);
  EXPECT_EQ(generateEventMatrix(9, 30), first);
  EXPECT_NE(generateEventMatrix(9, 30), first);  // the generator moved on
}

TEST(GenerateEventMatrix, NoEventsDrawsNothing) {
  for (std::int32_t n : {0, -1, -1000}) {
    std::srand(9);
    EXPECT_TRUE(generateEventMatrix(n, 50).empty());
    const int following = nextDraw();
    EXPECT_EQ(following, drawAfter(9, 0));
  }
}

TEST(GeneratePackedColumns, SameRowsFromTheSameDrawsAsTheMatrix) {
  struct Case {
    std::int32_t n, density;
  };
  // Row counts below, at and across the 64-row words; densities that reject
  // most attempts, that accept every one, and beyond 100.
  const Case cases[] = {{1, 1},    {1, 100}, {3, 1},   {5, 50},         {31, 101}, {32, 3},
                        {33, 100}, {64, 30}, {100, 2}, {7, 2147483647}, {0, 50},   {-2, 50}};
  for (const Case& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n) + ", density " + std::to_string(c.density));
    std::srand(77);
    const EventMatrix matrix = generateEventMatrix(c.n, c.density);
    const int afterMatrix = nextDraw();
    std::srand(77);
    const PackedColumns packed = generatePackedColumns(c.n, c.density);
    EXPECT_EQ(nextDraw(), afterMatrix) << "a different number of draws";

    ASSERT_EQ(packed.rows, matrix.size());
    ASSERT_EQ(packed.events, matrix.empty() ? 0u : matrix.front().size());
    ASSERT_EQ(packed.bits.size(), packed.events * ((packed.rows + 63) / 64));
    std::size_t ones = 0;
    for (std::size_t j = 0; j < matrix.size(); ++j) {
      for (std::size_t e = 0; e < packed.events; ++e) {
        const bool bit = (packed.bits[e * packed.words + j / 64] >> (j % 64)) & 1;
        ASSERT_EQ(bit, matrix[j][e] == 1) << "row " << j << ", column " << e;
        ones += bit;
      }
    }
    std::size_t setBits = 0;
    for (const auto word : packed.bits) setBits += static_cast<std::size_t>(std::popcount(word));
    EXPECT_EQ(setBits, ones) << "bits set past the last row";
  }
}

TEST(SeededDraws, TheSequenceOfRandAfterSrand) {
  for (const unsigned seed : {0u, 1u, 2u, 12345u, 1700000000u, UINT_MAX}) {
    SeededDraws draws(seed);
    std::srand(seed);
    for (int i = 0; i < 1000; ++i)
      ASSERT_EQ(draws(), std::rand()) << "seed " << seed << ", draw " << i;
  }
}

TEST(GeneratePackedColumns, ThroughADrawFunctionAsFromStdRand) {
  struct Case {
    std::int32_t n, density;
    unsigned seed;
  };
  const Case cases[] = {{1, 1, 3}, {5, 50, 1700000000}, {33, 2, 7}, {70, 30, 0}};
  for (const Case& c : cases) {
    std::srand(c.seed);
    const PackedColumns expected = generatePackedColumns(c.n, c.density);
    const int afterRand = nextDraw();
    std::srand(99);
    SeededDraws draws(c.seed);
    const PackedColumns packed =
        generatePackedColumns(c.n, c.density, [&draws] { return draws(); });
    const int following = nextDraw();
    EXPECT_EQ(following, drawAfter(99, 0)) << "std::rand was used";
    EXPECT_EQ(draws(), afterRand) << "a different number of draws, n = " << c.n;
    EXPECT_EQ(packed.bits, expected.bits) << "n = " << c.n;
    EXPECT_EQ(packed.rows, expected.rows);
  }
}

TEST(MakeWeights, TwoNCopiesOfPOverTwoN) {
  struct Case {
    std::int32_t n;
    double P;
    std::size_t count;
    double weight;
  };
  const Case cases[] = {
      {2, 1.0, 4, 0.25}, {1, 0.8, 2, 0.4},  {3, -1.0, 6, -1.0 / 6}, {512, 1.0, 1024, 1.0 / 1024},
      {0, 1.0, 0, 0.0},  {-3, 1.0, 0, 0.0},
  };
  for (const Case& c : cases) {
    const DoubleSequence weights = makeWeights(c.n, c.P);
    ASSERT_EQ(weights.size(), c.count) << "n = " << c.n;
    for (double w : weights) EXPECT_EQ(w, c.weight) << "n = " << c.n;
  }
}

}  // namespace
}  // namespace intersections
