#include "study/instance_family.h"

#include "common/whole_number.h"
#include "instance/random_instance.h"
#include "study/seeded_draws.h"

namespace intersections {

namespace {

constexpr const char* outcomesKey = "outcomes=";
constexpr const char* randomWeightsText = "weights=random";

}  // namespace

std::string InstanceFamily::text() const {
  std::string text = outcomes ? outcomesKey + std::to_string(*outcomes) : "2n";
  if (randomWeights) text += std::string(";") + randomWeightsText;
  return text;
}

std::vector<std::string> InstanceFamily::options() const {
  std::vector<std::string> given;
  if (outcomes) given.push_back("--outcomes " + std::to_string(*outcomes));
  if (randomWeights) given.emplace_back("--weights random");
  return given;
}

std::size_t InstanceFamily::outcomeCount(std::int32_t n) const {
  return outcomes ? static_cast<std::size_t>(*outcomes) : 2 * static_cast<std::size_t>(n);
}

std::optional<InstanceFamily> parseFamily(const std::string& text) {
  InstanceFamily family;
  std::string rows = text;
  if (const std::size_t semicolon = text.find(';'); semicolon != std::string::npos) {
    if (text.substr(semicolon + 1) != randomWeightsText) return std::nullopt;
    family.randomWeights = true;
    rows = text.substr(0, semicolon);
  }
  if (rows == "2n") return family;
  if (rows.rfind(outcomesKey, 0) != 0) return std::nullopt;
  family.outcomes =
      parseWholeNumber(rows.substr(std::string(outcomesKey).size()), 1, largestOutcomes);
  // One text for each family: no sign, no leading zero.
  if (!family.outcomes || family.text() != text) return std::nullopt;
  return family;
}

FamilyInstance drawInstance(const StudyAnswers& answers, const InstanceFamily& family,
                            std::int64_t second) {
  // The dialogue seeds with srand(static_cast<unsigned>(time(nullptr))).
  SeededDraws draws(static_cast<unsigned>(second));
  const std::function<int()> draw = [&draws] { return draws(); };
  FamilyInstance instance;
  if (family.outcomes) {
    const std::size_t rows = family.outcomeCount(answers.n);
    instance.columns = generatePackedColumns(answers.n, answers.density, rows, draw);
  } else {
    instance.columns = generatePackedColumns(answers.n, answers.density, draw);
  }
  const std::size_t rows = family.outcomeCount(answers.n);
  const DoubleSequence weights = family.randomWeights
                                     ? drawRandomWeights(rows, answers.probability, draw)
                                 : family.outcomes ? equalWeights(rows, answers.probability)
                                                   : makeWeights(answers.n, answers.probability);
  instance.weights.assign(weights.begin(), weights.end());
  return instance;
}

}  // namespace intersections
