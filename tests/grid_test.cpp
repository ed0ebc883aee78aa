// The grid of a study: the lists its options take, and the settings they span.

#include "study/grid.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "study/command_line.h"
#include "study/study_plan.h"

namespace {

using namespace intersections;

TEST(Grid, ListsOfWholeNumbers) {
  struct Case {
    const char* text;
    std::optional<std::vector<std::int64_t>> values;
  };
  const Case cases[] = {
      {"7", std::vector<std::int64_t>{7}},
      {"10:13", std::vector<std::int64_t>{10, 11, 12, 13}},
      {"1:10:3", std::vector<std::int64_t>{1, 4, 7, 10}},
      {"1:9:3", std::vector<std::int64_t>{1, 4, 7}},
      {"5,3,5", std::vector<std::int64_t>{5, 3}},  // a repeat counted once
      {"3:4,20,4", std::vector<std::int64_t>{3, 4, 20}},
      {"4:4", std::vector<std::int64_t>{4}},
      {"0", std::nullopt},    // below the least
      {"100", std::nullopt},  // above the largest
      {"4:3", std::nullopt},
      {"1:5:0", std::nullopt},
      {"1::2", std::nullopt},
      {"1:2:3:4", std::nullopt},
      {"", std::nullopt},
      {"1,", std::nullopt},
      {"-1", std::nullopt},
      {"1:99", std::nullopt},  // more numbers than allowed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseWholeList(c.text, 1, 99, 50), c.values);
  }
}

TEST(Grid, SettingsSpanEveryCombinationOnce) {
  const StudyOptions options =
      parseStudyCommandLine({"--n", "8:10", "--density", "20,40", "--P", "0.5,0.50,1", "--m", "3"});
  ASSERT_EQ(options.settings.size(), 3u * 2u * 2u);
  // N first, the last list fastest; P as first given.
  EXPECT_EQ(options.settings[0].n, 8);
  EXPECT_EQ(options.settings[0].density, 20);
  EXPECT_EQ(options.settings[0].probabilityText, "0.5");
  EXPECT_EQ(options.settings[1].probabilityText, "1");
  EXPECT_EQ(options.settings[2].density, 40);
  EXPECT_EQ(options.settings[11].n, 10);
  EXPECT_THROW(parseStudyCommandLine({"--n", "8", "--density", "20", "--P", "0.5"}), UsageError);
  EXPECT_THROW(parseStudyCommandLine({"--n", "8", "--density", "20", "--P", "0.5", "--m", "3", "8",
                                      "20", "0.5", "3"}),
               UsageError);
}

// The shards of a study hold every instance once, and split the cost evenly.
TEST(Grid, ShardsSplitTheInstancesByCost) {
  const std::vector<double> costs = {1, 10, 1, 30, 5};
  const std::int64_t count = 7, shards = 3;
  std::vector<int> seen(costs.size() * count, 0);
  std::vector<double> load(shards, 0);
  for (std::int64_t shard = 0; shard < shards; ++shard) {
    for (const WorkItem& item : shardItems(costs, 100, count, shard, shards)) {
      ++seen[static_cast<std::size_t>(item.second - 100) * costs.size() + item.setting];
      load[static_cast<std::size_t>(shard)] += costs[item.setting];
    }
  }
  for (const int times : seen) EXPECT_EQ(times, 1);
  // 329 in all: each shard within the costliest instance of a third.
  for (const double shardLoad : load) EXPECT_NEAR(shardLoad, 329.0 / 3, 30.0);
  // One setting: the index modulo the shards, as a study of one setting always split.
  const std::vector<WorkItem> second = shardItems({2.0}, 0, 10, 1, 3);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(second[0].second, 1);
  EXPECT_EQ(second[1].second, 4);
  EXPECT_EQ(second[2].second, 7);
}

}  // namespace
