#pragma once

#include <cstdint>
#include <vector>

namespace intersections {

// One instance of a study: a setting of its grid (an index) and a second.
struct WorkItem {
  std::size_t setting = 0;
  std::int64_t second = 0;
  friend bool operator==(const WorkItem&, const WorkItem&) = default;
};

// The instances of shard `shard` of `shards` of a study whose settings cost
// `costs` an instance (in any one unit), for the seconds first to
// first + count - 1 of every setting. The instances are split so that each
// shard gets about the same cost: the costliest first, each to the shard
// with the least cost so far (the lowest shard on a tie), which for equal
// costs is the instance's index (second by second, setting by setting)
// modulo the shards; beyond a million instances, that index modulo the
// shards alone. They are listed second by second, each second's settings in
// their order, so that the first instances of a study sample every setting.
// Every process of a sharded study, given the same arguments, finds the same
// split: the shards together hold every instance once.
std::vector<WorkItem> shardItems(const std::vector<double>& costs, std::int64_t first,
                                 std::int64_t count, std::int64_t shard, std::int64_t shards);

}  // namespace intersections
