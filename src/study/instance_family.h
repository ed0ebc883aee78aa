#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "instance/packed_columns.h"
#include "study/study_answers.h"

namespace intersections {

// The most outcomes an instance may have.
inline constexpr std::int64_t largestOutcomes = 2147483647;

// The kind of instance a study draws for each of its settings.
struct InstanceFamily {
  std::optional<std::int64_t> outcomes;  // K, from 1 to largestOutcomes; none: 2n
  bool randomWeights = false;            // weights of their own instead of P / K each

  // As the rows name it: "2n" (intersections' own instances), "outcomes=500",
  // "2n;weights=random", "outcomes=500;weights=random".
  std::string text() const;
  // The options that ask for it, {"--outcomes 500", "--weights random"};
  // none for intersections' own.
  std::vector<std::string> options() const;
  // The outcomes of an instance of n events.
  std::size_t outcomeCount(std::int32_t n) const;
  friend bool operator==(const InstanceFamily&, const InstanceFamily&) = default;
};

// The family that `text` names as text() writes it; nothing for other text.
std::optional<InstanceFamily> parseFamily(const std::string& text);

// One instance: its outcome rows and the weight of each.
struct FamilyInstance {
  PackedColumns columns;
  std::vector<double> weights;
};

// The instance of `family` for `answers` in the clock second `second`: a
// generator seeded with the second as the dialogue of intersections seeds
// it; from it the rows, drawn as intersections draws its 2n rows (2n or K of
// them); then the weights: P / 2n or P / K each, or, with random weights,
// drawn from the same generator after the rows (drawRandomWeights). The
// default family gives the instance intersections draws in that second.
FamilyInstance drawInstance(const StudyAnswers& answers, const InstanceFamily& family,
                            std::int64_t second);

}  // namespace intersections
