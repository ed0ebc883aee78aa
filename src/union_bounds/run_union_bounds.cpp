#include "union_bounds/run_union_bounds.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <ostream>

#include "bounds/order_bounds.h"
#include "common/memory_limit.h"
#include "common/message_text.h"
#include "common/system_calls.h"
#include "common/version.h"
#include "lines/prob_file.h"
#include "reporting/boolean_note.h"
#include "reporting/boolean_progress.h"
#include "union_bounds/certificate_file.h"
#include "union_bounds/command_line.h"
#include "union_bounds/report.h"

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

int run(const BoundsOptions& options, std::ostream& out, std::ostream& err, int terminal) {
  // Decided before the file is read, which then keeps the lines they need.
  const std::optional<MemoryLimit> memory =
      options.boolean == BooleanMode::none ? std::nullopt : memoryLimit();
  const BooleanScope scope =
      booleanScope(options.n, options.n, options.boolean, booleanMemoryBytes(memory));

  const bool standardInput = options.file == "-";
  if (options.certificates) {
    // Tried before the long work, so that a path that cannot be written
    // fails at once, but left as it is until the bounds are known.
    std::error_code same;
    if (!standardInput && std::filesystem::equivalent(options.file, *options.certificates, same)) {
      err << "union-bounds: " << shownText(*options.certificates)
          << " is the file read; the certificates need a file of their own\n";
      return boundsBadFile;
    }
    if (!std::ofstream(*options.certificates, std::ios::app)) {
      err << "union-bounds: cannot write " << shownText(*options.certificates) << ": "
          << std::strerror(errno) << '\n';
      return boundsBadFile;
    }
  }

  const std::string name = standardInput ? "standard input" : shownText(options.file);
  InputFile input;
  if (standardInput) {
    input.descriptor = 0;
  } else {
    do {
      input.descriptor = systemCalls().open(options.file.c_str(), O_RDONLY | O_CLOEXEC, 0);
    } while (input.descriptor < 0 && errno == EINTR);
    if (input.descriptor < 0)
      throw ProbFileError("cannot open " + name + ": " + std::strerror(errno));
  }
  const BoundsRequest request{
      options.atLeast, scope.orders, booleanWorkLimit(options.boolean, options.booleanLimit), {}};
  const ProbFile file =
      readProbFile(input.descriptor, name, options.n, linesNeeded(request), options.halfWidth);
  StatusLine status(terminal);
  BooleanProgressLine progress(status);
  std::vector<OrderBounds> rows;
  try {
    BoundsRequest reporting = request;
    reporting.progress = [&progress](const BooleanProgress& report) { progress.update(report); };
    rows = boundsByOrder(file.observations, reporting);
    progress.finish();
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
  const auto orders = static_cast<std::int32_t>(rows.size());
  if (const std::string note = booleanNote(options.n, orders, options.boolean, scope, memory);
      !note.empty())
    err << "union-bounds: note: " << note << '\n';
  if (options.known) {
    for (const std::string& line : boundsMissed(rows, *options.known))
      err << "union-bounds: warning: " << line << '\n';
  }
  if (options.csv) {
    writeCsv(out, rows);
  } else {
    writeTable(out, {name, options.n, file.lines, options.atLeast}, rows, options.known);
  }
  if (options.certificates) {
    std::ofstream certificates(*options.certificates, std::ios::trunc);
    writeCertificates(certificates, {name, options.n, options.atLeast, options.halfWidth}, rows);
    certificates.close();
    if (!certificates) {
      err << "union-bounds: cannot write " << shownText(*options.certificates) << '\n';
      return boundsBadFile;
    }
  }
  return flushed(out, err);
}

}  // namespace

int runUnionBounds(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   int terminal) {
  try {
    const BoundsOptions options = parseCommandLine(args);
    if (options.help) {
      out << usageText();
      return flushed(out, err);
    }
    if (options.version) {
      out << "union-bounds (intersections) " << versionText << '\n';
      return flushed(out, err);
    }
    return run(options, out, err, terminal);
  } catch (const UsageError& error) {
    err << "union-bounds: " << error.what() << "; try 'union-bounds --help'\n";
    return boundsUsage;
  } catch (const ProbFileError& error) {
    err << "union-bounds: " << error.what() << '\n';
    return boundsBadFile;
  } catch (const std::bad_alloc&) {
    err << "union-bounds: out of memory\n";
    return boundsOutOfMemory;
  } catch (const std::exception& error) {
    err << "union-bounds: internal error: " << error.what() << '\n';
    return boundsInternalError;
  }
}

}  // namespace intersections
