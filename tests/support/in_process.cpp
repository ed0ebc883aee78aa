#include "support/in_process.h"

#include <sstream>

#include "main/dialogue.h"
#include "study/run_study.h"
#include "support/temp_dir.h"
#include "union_bounds/run_union_bounds.h"

namespace testing_support {

Outcome unionBoundsHere(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = intersections::runUnionBounds(args, out, err);
  return {status, out.str(), err.str()};
}

Outcome boundsStudyHere(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = intersections::runBoundsStudy(args, out, err);
  return {status, out.str(), err.str()};
}

Outcome intersectionsHere(const std::filesystem::path& dir, const std::string& answers) {
  const WorkingDirectory here(dir);
  std::istringstream in(answers);
  std::ostringstream out, err;
  const int status = intersections::runIntersections(in, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace testing_support
