#include "common/options.h"

#include <algorithm>

#include "common/message_text.h"

namespace intersections {

namespace {

bool isOption(const std::string& arg) {
  return arg.size() >= 2 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
}

}  // namespace

Arguments splitArguments(const std::vector<std::string>& args,
                         const std::vector<KnownOption>& known) {
  Arguments split;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !isOption(arg)) {
      split.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const auto option = std::find_if(known.begin(), known.end(), [&](const KnownOption& o) {
      return name == o.name && (o.takesValue || equals == std::string::npos);
    });
    if (option == known.end()) throw UsageError("unknown option \"" + shownText(arg) + "\"");
    if (!option->takesValue) {
      split.options.push_back({name, ""});
    } else if (equals != std::string::npos) {
      split.options.push_back({name, arg.substr(equals + 1)});
    } else if (i + 1 < args.size()) {
      split.options.push_back({name, args[++i]});
    } else {
      throw UsageError(name + " needs a value" +
                       (*option->value != '\0' ? std::string(", ") + option->value : ""));
    }
  }
  return split;
}

}  // namespace intersections
