// bounds-study's families of instances: each row against the instance drawn
// here from the seeded generator, the file the evaluator writes for it and
// union-bounds on that file; the rows and weights drawn for K outcomes; and
// the Boolean bounds that many outcomes leave apart.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/intersections.h"
#include "instance/random_instance.h"
#include "reporting/decimal.h"
#include "study/instances_csv.h"
#include "study/seeded_draws.h"
#include "study/study_instance.h"
#include "support/in_process.h"
#include "support/temp_dir.h"
#include "union_bounds/run_union_bounds.h"

namespace {

using namespace intersections;
using testing_support::linesAfterHeader;
using testing_support::readFile;
using testing_support::TempDir;

TEST(StudyFamilies, EachRowIsUnionBoundsOnTheFileOfTheInstanceDrawnHere) {
  struct Case {
    const char* family;
    std::int32_t n, density;
    const char* P;
    std::int32_t m;
    std::int64_t second;
  };
  const Case cases[] = {
      {"2n", 4, 40, "0.3", 4, 5},          {"2n;weights=random", 6, 30, "0.9", 3, 1700000000},
      {"outcomes=40", 5, 20, "0.7", 3, 7}, {"outcomes=200;weights=random", 8, 10, "1", 2, 123456},
      {"outcomes=1", 3, 50, "0.5", 3, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    const InstanceFamily family = *parseFamily(c.family);
    const double P = std::strtod(c.P, nullptr);
    // The instance as its description has it: K rows of n draws each, a row
    // without a 1 drawn again, then one draw a weight.
    SeededDraws draws(static_cast<unsigned>(c.second));
    const std::size_t rows = family.outcomes ? static_cast<std::size_t>(*family.outcomes)
                                             : 2 * static_cast<std::size_t>(c.n);
    EventMatrix matrix;
    while (matrix.size() < rows) {
      IntSequence row;
      for (std::int32_t e = 0; e < c.n; ++e) row.push_back(draws() % 100 + 1 <= c.density);
      if (std::count(row.begin(), row.end(), 1) > 0) matrix.push_back(row);
    }
    std::vector<double> raw;
    for (std::size_t j = 0; j < rows; ++j) raw.push_back(family.randomWeights ? draws() + 1.0 : 1);
    double total = 0;
    for (const double r : raw) total += r;
    DoubleSequence weights;
    mpq_class probability;  // every outcome has an event
    for (const double r : raw) {
      weights.push_back(family.randomWeights ? r / total * P * (1 - std::ldexp(1.0, -48))
                                             : P / static_cast<double>(rows));
      probability += mpq_class(weights.back());
    }

    TempDir dir;
    const std::string file = (dir.path / "prob.txt").string();
    writeIntersectionProbabilitiesTo(file, c.m, weights, matrix);
    std::ostringstream out, err;
    ASSERT_EQ(runUnionBounds({"--csv", "--no-boolean", std::to_string(c.n), file}, out, err), 0)
        << err.str();
    // A bound of the user's own that keeps its input and N, and says 0.
    const std::string seen = (dir.path / "seen").string();
    UserBound keeper;
    keeper.column.name = "seen";
    keeper.command = "f() { cat > " + seen + "; echo \"$1\" > " + seen + ".n; for k in $(seq " +
                     std::to_string(std::min(c.n, c.m)) + "); do echo 0; done; }; f";
    const StudyAnswers answers{c.n, c.density, c.P, P, c.m};
    const InstanceResult result = studyInstance(
        answers, c.second, {}, {BooleanMode::none, 0, std::nullopt, family}, {keeper});
    EXPECT_TRUE(result.wrongSide.empty());
    EXPECT_TRUE(result.failures.empty()) << result.failures.front();
    EXPECT_EQ(readFile(seen), readFile(file));
    EXPECT_EQ(readFile(seen + ".n"), std::to_string(c.n) + "\n");

    const std::vector<std::string> expected = linesAfterHeader(out.str());
    ASSERT_EQ(result.rows.size(), expected.size());
    const std::string lead = std::to_string(c.n) + ',' + std::to_string(c.density) + ',' + c.P +
                             ',' + std::to_string(c.m) + ",1,none,0,," + c.family + ',' +
                             std::to_string(c.second) + ',' + exactDecimal(probability) + ',';
    for (std::size_t i = 0; i < expected.size(); ++i)
      EXPECT_EQ(result.rows[i], lead + expected[i] + ",0.000000000000");
  }
}

TEST(StudyFamilies, RowsForKOutcomesAreDrawnAsTheTwoNRows) {
  for (const std::int32_t n : {1, 7, 40}) {
    SeededDraws first(5), second(5);
    const auto fromFirst = [&first] { return first(); };
    const auto fromSecond = [&second] { return second(); };
    const PackedColumns twoN = generatePackedColumns(n, 30, fromFirst);
    const PackedColumns k =
        generatePackedColumns(n, 30, 2 * static_cast<std::size_t>(n), fromSecond);
    EXPECT_EQ(k.bits, twoN.bits) << n;
    EXPECT_EQ(k.rows, twoN.rows);
    EXPECT_EQ(first(), second()) << "the generators end in the same state";
  }
}

TEST(StudyFamilies, RandomWeightsArePositiveAndAddUpToJustBelowP) {
  for (const double P : {1.0, 0.9, 1e-6}) {
    for (const std::size_t rows : {1u, 3u, 1000u}) {
      SeededDraws draws(11);
      const DoubleSequence weights = drawRandomWeights(rows, P, [&draws] { return draws(); });
      ASSERT_EQ(weights.size(), rows);
      mpq_class sum;
      for (const double w : weights) {
        EXPECT_GT(w, 0);
        sum += mpq_class(w);
      }
      EXPECT_LT(sum, mpq_class(P)) << P << " " << rows;
      EXPECT_GT(sum, mpq_class(P) * (1 - std::ldexp(1.0, -40))) << P << " " << rows;
    }
  }
}

// With 2n outcomes the lines of orders 1 and 2 nearly pin the probability of
// the union; with 200 they leave the Boolean bounds a real interval.
TEST(StudyFamilies, ManyOutcomesLeaveTheBooleanBoundsApart) {
  TempDir dir;
  const std::string rows = (dir.path / "rows.csv").string();
  const auto result =
      testing_support::boundsStudyHere({"--first", "1700000000", "--count", "2", "--outcomes",
                                        "200", "--instances", rows, "12", "20", "0.9", "3"});
  ASSERT_EQ(result.status, 0) << result.err;
  double widest = 0;
  for (const std::string& line : linesAfterHeader(readFile(rows))) {
    const InstanceRow row = parseInstancesRow(line);
    const auto& lower = row.bounds[row.bounds.size() - 2];
    const auto& upper = row.bounds.back();
    ASSERT_TRUE(lower && upper);
    if (row.order >= 2) widest = std::max(widest, mpq_class(*upper - *lower).get_d());
  }
  EXPECT_GT(widest, 1e-6);
}

}  // namespace
