#include "study/user_bound.h"

#include <algorithm>

#include "common/message_text.h"
#include "common/options.h"
#include "study/instances_csv.h"

namespace intersections {

namespace {

bool isName(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

std::optional<bool> sideOf(const std::string& text) {
  if (text == "lower") return false;
  if (text == "upper") return true;
  return std::nullopt;
}

}  // namespace

std::string UserColumn::headerField() const { return name + (isUpper ? ":upper" : ":lower"); }

std::optional<UserColumn> userColumnOfField(const std::string& field) {
  const std::size_t colon = field.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string name = field.substr(0, colon);
  const std::optional<bool> isUpper = sideOf(field.substr(colon + 1));
  if (!isName(name) || !isUpper) return std::nullopt;
  return UserColumn{name, *isUpper};
}

UserBound parseUserBound(const std::string& text) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  const std::optional<UserColumn> column =
      second == std::string::npos ? std::nullopt : userColumnOfField(text.substr(0, second));
  if (!column || second + 1 == text.size()) {
    throw UsageError(
        "--bound takes NAME:lower:COMMAND or NAME:upper:COMMAND, NAME of letters, digits and "
        "underscores, not \"" +
        shownText(text) + "\"");
  }
  const std::vector<std::string> builtIn = splitCsvFields(instancesHeader());
  if (std::find(builtIn.begin(), builtIn.end(), column->name) != builtIn.end())
    throw UsageError("--bound " + column->name + ": a column of the instances file has that name");
  return {*column, text.substr(second + 1)};
}

}  // namespace intersections
