#pragma once

#include <optional>
#include <string>

namespace intersections {

// A bound of the user's own in the rows and the summary of a study.
struct UserColumn {
  std::string name;  // letters, digits and underscores
  bool isUpper = false;

  // Its field in the header of an instances file: "name:lower" or "name:upper".
  std::string headerField() const;
  friend bool operator==(const UserColumn&, const UserColumn&) = default;
};

// The column a header field names, as headerField writes it; nothing for
// other text.
std::optional<UserColumn> userColumnOfField(const std::string& field);

// A bound of the user's own and the command that computes it.
struct UserBound {
  UserColumn column;
  std::string command;  // for /bin/sh -c, N appended
};

// The value of --bound: NAME:lower:COMMAND or NAME:upper:COMMAND, NAME of
// ASCII letters, digits and underscores and no field of the header of an
// instances file, COMMAND anything but empty (colons included). Throws
// UsageError.
UserBound parseUserBound(const std::string& text);

}  // namespace intersections
