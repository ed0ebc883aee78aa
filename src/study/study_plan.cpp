#include "study/study_plan.h"

#include <algorithm>
#include <numeric>
#include <queue>

namespace intersections {

namespace {

// Instances up to which the split weighs their costs.
constexpr std::uint64_t mostWeighed = 1000000;

}  // namespace

std::vector<WorkItem> shardItems(const std::vector<double>& costs, std::int64_t first,
                                 std::int64_t count, std::int64_t shard, std::int64_t shards) {
  const auto settings = static_cast<std::int64_t>(costs.size());
  const std::uint64_t total = static_cast<std::uint64_t>(count) * costs.size();
  std::vector<WorkItem> items;
  // The index of an instance: second by second, setting by setting.
  const auto item = [&](std::int64_t index) {
    return WorkItem{static_cast<std::size_t>(index % settings), first + index / settings};
  };
  if (total > mostWeighed || shards == 1) {
    for (std::int64_t index = shard; index < static_cast<std::int64_t>(total); index += shards)
      items.push_back(item(index));
    return items;
  }
  // Longest first, each to the least loaded shard: the indices by cost
  // descending (a stable sort keeps equal costs in index order).
  std::vector<std::int64_t> order(total);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) {
    return costs[static_cast<std::size_t>(a % settings)] >
           costs[static_cast<std::size_t>(b % settings)];
  });
  using Load = std::pair<double, std::int64_t>;  // cost so far, shard
  std::priority_queue<Load, std::vector<Load>, std::greater<>> loads;
  for (std::int64_t s = 0; s < shards; ++s) loads.push({0.0, s});
  std::vector<std::int64_t> mine;
  for (const std::int64_t index : order) {
    const auto [load, s] = loads.top();
    loads.pop();
    if (s == shard) mine.push_back(index);
    loads.push({load + costs[static_cast<std::size_t>(index % settings)], s});
  }
  std::sort(mine.begin(), mine.end());
  for (const std::int64_t index : mine) items.push_back(item(index));
  return items;
}

}  // namespace intersections
