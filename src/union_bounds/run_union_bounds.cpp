#include "union_bounds/run_union_bounds.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <ostream>

#include "bounds/cherry_bound.h"
#include "bounds/union_bounds.h"
#include "union_bounds/command_line.h"
#include "union_bounds/prob_file.h"
#include "union_bounds/report.h"
#include "union_bounds/shown_text.h"

#ifndef INTERSECTIONS_VERSION
#define INTERSECTIONS_VERSION "unknown"
#endif

namespace intersections {

namespace {

// Closes the file it holds, unless that is standard input.
struct InputFile {
  int descriptor = -1;
  ~InputFile() {
    if (descriptor > 0) ::close(descriptor);
  }
};

// Done if everything written to `out` got through (a full disk, a closed pipe
// do not let it).
int flushed(std::ostream& out, std::ostream& err) {
  out.flush();
  if (!out) {
    err << "union-bounds: cannot write standard output\n";
    return boundsBadFile;
  }
  return boundsDone;
}

int run(const BoundsOptions& options, std::ostream& out, std::ostream& err) {
  const bool standardInput = options.file == "-";
  const std::string name = standardInput ? "standard input" : shownText(options.file);
  InputFile input;
  if (standardInput) {
    input.descriptor = 0;
  } else {
    do {
      input.descriptor = ::open(options.file.c_str(), O_RDONLY | O_CLOEXEC);
    } while (input.descriptor < 0 && errno == EINTR);
    if (input.descriptor < 0)
      throw ProbFileError("cannot open " + name + ": " + std::strerror(errno));
  }
  // The lines of orders 1 and 2 are checked against each other whatever the
  // event; the union's own bounds read them too, and some of order 3.
  const bool isUnion = options.atLeast == 1;
  const ProbFile file =
      readProbFile(input.descriptor, name, options.n, 2,
                   isUnion ? LinePicker(cherryLinePlaces) : LinePicker(), options.halfWidth);
  std::vector<OrderBounds> rows;
  try {
    rows = unionBounds(file.observations, {options.atLeast});
  } catch (const InconsistentPair& error) {
    // The pairs follow the n lines of order 1.
    const std::size_t line = static_cast<std::size_t>(options.n) + error.conflict.pair + 1;
    err << "union-bounds: " << name << ':' << line << ": " << error.what() << "; is N right?\n";
    return boundsBadFile;
  } catch (const InconsistentValues& error) {
    err << "union-bounds: " << name << ": " << error.what() << "; is N right?\n";
    return boundsBadFile;
  }

  if (!file.shortfall.empty()) err << "union-bounds: " << file.shortfall << '\n';
  if (options.known) {
    for (const std::string& line : boundsMissed(rows, *options.known))
      err << "union-bounds: warning: " << line << '\n';
  }
  if (options.csv) {
    writeCsv(out, rows);
  } else {
    writeTable(out, {name, options.n, file.lines, options.atLeast}, rows, options.known);
  }
  return flushed(out, err);
}

}  // namespace

int runUnionBounds(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    const BoundsOptions options = parseCommandLine(args);
    if (options.help) {
      out << usageText();
      return flushed(out, err);
    }
    if (options.version) {
      out << "union-bounds (intersections) " << INTERSECTIONS_VERSION << '\n';
      return flushed(out, err);
    }
    return run(options, out, err);
  } catch (const UsageError& error) {
    err << "union-bounds: " << error.what() << "; try 'union-bounds --help'\n";
    return boundsUsage;
  } catch (const ProbFileError& error) {
    err << "union-bounds: " << error.what() << '\n';
    return boundsBadFile;
  } catch (const std::bad_alloc&) {
    err << "union-bounds: out of memory\n";
    return boundsBadFile;
  } catch (const std::exception& error) {
    err << "union-bounds: internal error: " << error.what() << '\n';
    return boundsBadFile;
  }
}

}  // namespace intersections
