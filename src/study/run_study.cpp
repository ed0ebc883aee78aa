#include "study/run_study.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "common/byte_sizes.h"
#include "common/memory_limit.h"
#include "common/processors.h"
#include "common/version.h"
#include "reporting/boolean_note.h"
#include "study/command_line.h"
#include "study/study_instance.h"
#include "study/study_progress.h"
#include "study/summary.h"

namespace intersections {

namespace {

// A file named on the command line that cannot be used; status 2.
struct FileRefusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Memory ran out, or would: status 3.
struct TooLarge : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void writeSummary(std::ostream& out, const StudySummary& summary, bool csv) {
  if (csv) {
    summary.writeCsv(out);
  } else {
    summary.writeTable(out);
  }
}

// Reads the instances files into one summary; writes a line to `err` for each
// rigorous bound on the wrong side. Returns whether there was one.
bool summarizeFiles(const std::vector<std::string>& files, StudySummary& summary,
                    std::ostream& err) {
  bool wrongSide = false;
  // The Boolean mode of the first row, and its file: rows made with another
  // have other columns, and no summary mixes them.
  std::string firstBoolean, firstFile;
  for (const std::string& name : files) {
    std::ifstream in(name);
    if (!in) throw FileRefusal("cannot open " + name + ": " + std::strerror(errno));
    std::string line;
    std::uint64_t number = 0;
    auto refuse = [&](const std::string& what) {
      throw FileRefusal(name + ":" + std::to_string(number) + ": " + what);
    };
    while (std::getline(in, line)) {
      ++number;
      // A study writes whole rows; a file stopped part-way ends inside one.
      if (in.eof()) refuse("the last line has no line end: the file is cut short");
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (number == 1) {
        if (line != instancesHeader())
          refuse("the first line is not the header \"" + instancesHeader() + "\"");
        continue;
      }
      try {
        const InstanceRow row = parseInstancesRow(line);
        if (firstFile.empty()) {
          firstBoolean = row.boolean;
          firstFile = name;
        } else if (row.boolean != firstBoolean) {
          refuse("the row was made with the Boolean bounds' mode " + row.boolean + ", those of " +
                 firstFile + " with " + firstBoolean + "; a summary does not mix them");
        }
        for (const std::string& message : summary.add(row)) {
          err << "bounds-study: " << message << '\n';
          wrongSide = true;
        }
      } catch (const std::invalid_argument& error) {
        refuse(error.what());
      }
    }
    if (in.bad()) throw FileRefusal("cannot read " + name + ": " + std::strerror(errno));
    if (number == 0) throw FileRefusal(name + ": the file is empty, without even a header");
    try {
      summary.finish();
    } catch (const std::invalid_argument& error) {
      throw FileRefusal(name + ": " + error.what());
    }
  }
  return wrongSide;
}

// Studies the instances of this shard on `jobs` threads. Results are taken
// in the order of their seconds whatever thread made them, so the instances
// file, the messages and the summary do not depend on the number of threads.
bool studyInstances(const StudyOptions& options, std::int64_t first, int jobs,
                    std::ostream* instances, StudySummary& summary, std::ostream& err,
                    int terminal) {
  std::vector<std::int64_t> seconds;
  for (std::int64_t index = options.shard; index < options.count; index += options.shards)
    seconds.push_back(first + index);

  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable ready;
  std::map<std::size_t, InstanceResult> finished;
  std::exception_ptr failure;
  auto work = [&] {
    for (std::size_t at; !stop && (at = next++) < seconds.size();) {
      try {
        InstanceResult result =
            studyInstance(options.answers, seconds[at], options.request, options.boolean);
        const std::lock_guard lock(mutex);
        finished.emplace(at, std::move(result));
      } catch (const std::bad_alloc&) {
        const std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
      } catch (const std::exception& error) {
        const std::lock_guard lock(mutex);
        if (!failure) {
          failure = std::make_exception_ptr(
              std::runtime_error("second " + std::to_string(seconds[at]) + ": " + error.what()));
        }
      }
      ready.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (int j = 0; j < jobs && static_cast<std::size_t>(j) < seconds.size(); ++j)
    threads.emplace_back(work);

  StatusLine status(terminal);
  StudyProgress progress(status, seconds.size());
  bool wrongSide = false;
  try {
    for (std::size_t at = 0; at < seconds.size(); ++at) {
      InstanceResult result;
      {
        std::unique_lock lock(mutex);
        while (!failure && finished.count(at) == 0) {
          ready.wait_for(lock, std::chrono::milliseconds(200));
          lock.unlock();
          progress.update(at);
          lock.lock();
        }
        if (failure) break;
        result = std::move(finished.at(at));
        finished.erase(at);
      }
      for (const std::string& row : result.rows) {
        if (instances != nullptr) *instances << row << '\n';
        // The summary is made from the rows as written, as --summarize makes it
        // from the files; the bounds on the wrong side were found exactly above.
        summary.add(parseInstancesRow(row));
      }
      if (!result.wrongSide.empty()) progress.clear();
      for (const std::string& message : result.wrongSide) {
        err << "bounds-study: " << message << '\n';
        wrongSide = true;
      }
      progress.update(at + 1);
    }
  } catch (...) {
    stop = true;
    for (std::thread& thread : threads) thread.join();
    progress.clear();
    throw;
  }
  stop = true;
  for (std::thread& thread : threads) thread.join();
  progress.clear();
  if (failure) std::rethrow_exception(failure);
  summary.finish();
  return wrongSide;
}

int run(const StudyOptions& options, std::ostream& out, std::ostream& err, int terminal) {
  StudySummary summary;
  bool wrongSide = false;
  if (options.summarize) {
    wrongSide = summarizeFiles(options.files, summary, err);
  } else {
    const int jobs = options.jobs.value_or(availableProcessors());
    const StudyAnswers& answers = options.answers;
    const std::int32_t orders = std::min(answers.n, answers.m);
    // The Boolean bounds of each thread may take its share of what is left
    // once the instances are drawn.
    const std::optional<MemoryLimit> limit = memoryLimit();
    std::optional<MemoryLimit> share = limit;
    if (share) {
      share->bytes = std::max(0.0, share->bytes / jobs - instanceBytes(answers));
      if (jobs > 1)
        share->source = "that each of " + std::to_string(jobs) +
                        " threads (--jobs) may take of the memory available";
    }
    const BooleanScope scope =
        booleanScope(answers.n, orders, options.boolean, booleanMemoryBytes(share));
    StudyOptions study = options;
    study.request.booleanOrders = scope.orders;
    // Refused before the first instance, as intersections refuses an n too large.
    const double perInstance =
        instanceBytes(answers) + (scope.orders > 0 ? booleanBytes(answers.n, scope.orders) : 0);
    const double needed = perInstance * jobs;
    if (limit && needed > limit->bytes) {
      throw TooLarge("n = " + std::to_string(answers.n) + " needs about " +
                     std::to_string(megabytesUp(perInstance)) + " MB an instance" +
                     (jobs > 1 ? ", " + std::to_string(megabytesUp(needed)) + " MB for " +
                                     std::to_string(jobs) + " at a time (--jobs)"
                               : std::string()) +
                     ", more than the " + std::to_string(megabytesDown(limit->bytes)) + " MB " +
                     limit->source);
    }
    // Once for the study, not for each instance.
    if (const std::string note = booleanNote(answers.n, orders, options.boolean, scope, share);
        !note.empty())
      err << "bounds-study: note: " << note << '\n';
    std::ofstream instances;
    if (!options.instancesFile.empty()) {
      instances.open(options.instancesFile, std::ios::out | std::ios::trunc);
      if (!instances)
        throw FileRefusal("cannot create " + options.instancesFile + ": " + std::strerror(errno));
      instances << instancesHeader() << '\n';
    }
    const std::int64_t first =
        options.first.value_or(static_cast<std::int64_t>(std::time(nullptr)));
    wrongSide = studyInstances(study, first, jobs, instances.is_open() ? &instances : nullptr,
                               summary, err, terminal);
    if (instances.is_open()) {
      instances.close();
      if (!instances)
        throw FileRefusal("cannot write " + options.instancesFile + ": " + std::strerror(errno));
    }
  }
  writeSummary(out, summary, options.csv);
  out.flush();
  if (!out) throw FileRefusal("cannot write standard output");
  return wrongSide ? studyWrongSide : studyDone;
}

}  // namespace

int runBoundsStudy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   int terminal) {
  try {
    const StudyOptions options = parseStudyCommandLine(args);
    if (options.help || options.version) {
      if (options.help) {
        out << studyUsageText();
      } else {
        out << "bounds-study (intersections) " << versionText << '\n';
      }
      out.flush();
      if (out) return studyDone;
      err << "bounds-study: cannot write standard output\n";
      return studyTextNotWritten;
    }
    return run(options, out, err, terminal);
  } catch (const UsageError& error) {
    err << "bounds-study: " << error.what() << "; try 'bounds-study --help'\n";
    return studyRefused;
  } catch (const FileRefusal& error) {
    err << "bounds-study: " << error.what() << '\n';
    return studyRefused;
  } catch (const TooLarge& error) {
    err << "bounds-study: " << error.what() << '\n';
    return studyTooLarge;
  } catch (const std::bad_alloc&) {
    err << "bounds-study: out of memory\n";
    return studyTooLarge;
  } catch (const std::exception& error) {
    err << "bounds-study: internal error: " << error.what() << '\n';
    return studyInternalError;
  }
}

}  // namespace intersections
