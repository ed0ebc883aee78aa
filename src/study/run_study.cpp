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
#include <functional>
#include <limits>
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
#include "common/status_line.h"
#include "common/version.h"
#include "common/whole_number.h"
#include "evaluation/line_file.h"
#include "evaluation/termination_signals.h"
#include "reporting/boolean_note.h"
#include "study/command_line.h"
#include "study/instances_csv.h"
#include "study/study_instance.h"
#include "study/study_plan.h"
#include "study/study_progress.h"
#include "study/summary.h"

namespace intersections {

namespace {

constexpr std::int64_t largestSecond = std::numeric_limits<std::int64_t>::max();

// A file named on the command line that cannot be used; status 2.
struct FileRefusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Memory ran out, or would: status 3.
struct TooLarge : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void writeSummary(std::ostream& out, const GridSummary& summary, bool csv) {
  if (csv) {
    summary.writeCsv(out);
  } else {
    summary.writeTable(out);
  }
}

// One line of an instances file as read, and where it starts.
struct FileLine {
  std::string text;  // without its line end (LF, or CR LF)
  std::uint64_t number = 0;
  std::uintmax_t offset = 0;
  std::uintmax_t end = 0;  // where the next line starts
  bool ended = false;      // it had its line end
};

// Reads `name` line by line; `take` gets each line and returns false to stop.
void readLines(const std::string& name, const std::function<bool(const FileLine&)>& take) {
  std::ifstream in(name, std::ios::binary);
  if (!in) throw FileRefusal("cannot open " + name + ": " + std::strerror(errno));
  FileLine line;
  std::uintmax_t offset = 0;
  while (std::getline(in, line.text)) {
    ++line.number;
    line.offset = offset;
    line.ended = !in.eof();
    offset += line.text.size() + (line.ended ? 1 : 0);
    line.end = offset;
    if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    if (!take(line)) return;
  }
  if (in.bad()) throw FileRefusal("cannot read " + name + ": " + std::strerror(errno));
}

// Reads the instances files into one summary; writes a line to `err` for each
// rigorous bound on the wrong side. Returns whether there was one.
bool summarizeFiles(const std::vector<std::string>& files, GridSummary& summary,
                    std::ostream& err) {
  bool wrongSide = false;
  // The options of the first row, and its file: rows made with others have
  // other columns, and no summary mixes them. Nor does it mix files of other
  // bounds of the user's own, whose header names them.
  std::string firstOptions, firstFile;
  std::optional<std::vector<UserColumn>> user;
  std::string firstHeader, firstHeaderFile;
  for (const std::string& name : files) {
    std::uint64_t lines = 0;
    readLines(name, [&](const FileLine& line) {
      lines = line.number;
      auto refuse = [&](const std::string& what) {
        throw FileRefusal(name + ":" + std::to_string(line.number) + ": " + what);
      };
      // A study writes whole rows; a file stopped part-way ends inside one.
      if (!line.ended) refuse("the last line has no line end: the file is cut short");
      if (line.number == 1) {
        const std::optional<std::vector<UserColumn>> named = userColumnsOfHeader(line.text);
        if (!named) refuse("the first line is not the header \"" + instancesHeader() + "\"");
        if (!user) {
          user = named;
          firstHeader = line.text;
          firstHeaderFile = name;
          summary = GridSummary(*user);
        } else if (*named != *user) {
          refuse("the header names other bounds of --bound than that of " + firstHeaderFile +
                 " (\"" + firstHeader + "\"); a summary does not mix them");
        }
        return true;
      }
      try {
        const InstanceRow row = parseInstancesRow(line.text, *user);
        if (firstFile.empty()) {
          firstOptions = row.options;
          firstFile = name;
        } else if (row.options != firstOptions) {
          refuse("the row was made with the options boolean,boolean_limit,delta,family = " +
                 row.options + ", those of " + firstFile + " with " + firstOptions +
                 "; a summary does not mix them");
        }
        for (const std::string& message : summary.add(row)) {
          err << "bounds-study: " << message << '\n';
          wrongSide = true;
        }
      } catch (const std::invalid_argument& error) {
        refuse(error.what());
      }
      return true;
    });
    if (lines == 0) throw FileRefusal(name + ": the file is empty, without even a header");
    try {
      summary.finish();
    } catch (const std::invalid_argument& error) {
      throw FileRefusal(name + ": " + error.what());
    }
  }
  return wrongSide;
}

// What a study of one setting needs.
struct SettingPlan {
  StudyAnswers answers;
  BoundsRequest request;  // with the Boolean orders that its memory allows
  BooleanScope scope;
  double bytes = 0;  // the peak memory of an instance
  double cost = 0;   // of an instance, see instanceCost
};

// The row prefix that names an instance in an instances file: its setting and
// options, up to its second.
std::string instancePrefix(const SettingPlan& plan, const RowOptions& options,
                           std::int64_t second) {
  const StudyAnswers& a = plan.answers;
  return std::to_string(a.n) + ',' + std::to_string(a.density) + ',' + a.probabilityText + ',' +
         std::to_string(a.m) + ',' + std::to_string(plan.request.atLeast) + ',' + options.text() +
         ',' + std::to_string(second) + ',';
}

// The complete instances at the start of an instances file to resume, which
// must be the first instances of `items`, with the bounds of the user's own
// `user`: how many there are, and where the file is to be cut (after the
// last of them). Their rows go to `summary`.
struct Resumed {
  std::size_t items = 0;
  std::uintmax_t keep = 0;
  bool wrongSide = false;
};
Resumed resumeFrom(const std::string& name, const std::vector<WorkItem>& items,
                   const std::vector<SettingPlan>& plans, const RowOptions& options,
                   const std::vector<UserColumn>& user, GridSummary& summary, std::ostream& err) {
  const std::string expected = instancesHeader(user);
  Resumed resumed;
  std::vector<std::string> pending;  // the rows of the instance being read
  bool header = false;
  readLines(name, [&](const FileLine& line) {
    if (line.number == 1) {
      // A header cut short: the study stopped before its first row, and starts again.
      if (!line.ended && expected.compare(0, line.text.size(), line.text) == 0) return false;
      if (!line.ended || line.text != expected) {
        throw FileRefusal(name + ":1: the first line is not the header \"" + expected +
                          "\"; --resume goes on from an instances file");
      }
      header = true;
      resumed.keep = line.end;
      return true;
    }
    // A cut row: the file is cut before it.
    if (!line.ended) return false;
    if (resumed.items == items.size()) {
      throw FileRefusal(name + ":" + std::to_string(line.number) +
                        ": the file holds more instances than this study: resume it with the "
                        "options and settings it was made with");
    }
    const WorkItem& item = items[resumed.items];
    const SettingPlan& plan = plans[item.setting];
    const std::string prefix = instancePrefix(plan, options, item.second);
    if (line.text.compare(0, prefix.size(), prefix) != 0) {
      throw FileRefusal(name + ":" + std::to_string(line.number) +
                        ": the row is not of the next instance of this study (" + prefix +
                        "...): resume it with the options and settings it was made with");
    }
    try {
      parseInstancesRow(line.text, user);
    } catch (const std::invalid_argument&) {
      return false;
    }
    pending.push_back(line.text);
    if (pending.size() == static_cast<std::size_t>(std::min(plan.answers.n, plan.answers.m))) {
      for (const std::string& row : pending) {
        for (const std::string& message : summary.add(parseInstancesRow(row, user))) {
          err << "bounds-study: " << message << '\n';
          resumed.wrongSide = true;
        }
      }
      pending.clear();
      ++resumed.items;
      resumed.keep = line.end;
    }
    return true;
  });
  if (!header) resumed.keep = 0;
  return resumed;
}

// Studies `items` on `jobs` threads. Results are taken in the order of the
// items whatever thread made them, and the rows of each instance are written
// in one piece as soon as it and every earlier one are done, so that the
// instances file, the messages and the summary do not depend on the number
// of threads, and a study stopped at any moment leaves whole instances only.
bool studyInstances(const std::vector<WorkItem>& items, std::size_t from,
                    const std::vector<SettingPlan>& plans, const RowOptions& options,
                    const std::vector<UserBound>& userBounds, int jobs, LineFile* instances,
                    GridSummary& summary, std::ostream& err, int terminal) {
  std::vector<UserColumn> user;
  for (const UserBound& bound : userBounds) user.push_back(bound.column);
  std::atomic<std::size_t> next{from};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable ready;
  std::map<std::size_t, InstanceResult> finished;
  std::exception_ptr failure;
  auto work = [&] {
    for (std::size_t at; !stop && (at = next++) < items.size();) {
      const WorkItem& item = items[at];
      try {
        const SettingPlan& plan = plans[item.setting];
        InstanceResult result =
            studyInstance(plan.answers, item.second, plan.request, options, userBounds);
        const std::lock_guard lock(mutex);
        finished.emplace(at, std::move(result));
      } catch (const std::bad_alloc&) {
        const std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
      } catch (const std::exception& error) {
        const std::lock_guard lock(mutex);
        if (!failure) {
          failure = std::make_exception_ptr(
              std::runtime_error("second " + std::to_string(item.second) + ": " + error.what()));
        }
      }
      ready.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (int j = 0; j < jobs && from + static_cast<std::size_t>(j) < items.size(); ++j)
    threads.emplace_back(work);

  double totalCost = 0, doneCost = 0;
  for (std::size_t at = from; at < items.size(); ++at) totalCost += plans[items[at].setting].cost;
  TimeEstimate estimate(totalCost);
  const auto start = std::chrono::steady_clock::now();
  const auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  StatusLine status(terminal);
  StudyProgress progress(status, items.size() - from);
  bool wrongSide = false;
  const auto stopWork = [&] {
    stop = true;
    for (std::thread& thread : threads) thread.join();
  };
  try {
    for (std::size_t at = from; at < items.size(); ++at) {
      InstanceResult result;
      {
        std::unique_lock lock(mutex);
        while (!failure && finished.count(at) == 0) {
          ready.wait_for(lock, std::chrono::milliseconds(200));
          lock.unlock();
          // A signal that ends the study: the rows written are whole; the
          // file is closed, which ends the process by that signal.
          if (instances != nullptr && terminationSignalArrived()) {
            progress.clear();
            closeLineFile(*instances);
          }
          progress.update(at - from);
          lock.lock();
        }
        if (failure) break;
        result = std::move(finished.at(at));
        finished.erase(at);
      }
      std::string rows;
      for (const std::string& row : result.rows) {
        rows += row;
        rows += '\n';
        // The summary is made from the rows as written, as --summarize makes it
        // from the files; the bounds on the wrong side were found exactly above.
        summary.add(parseInstancesRow(row, user));
      }
      if (instances != nullptr && !writeLine(*instances, rows.data(), rows.size())) {
        progress.clear();
        closeLineFile(*instances);
      }
      if (!result.wrongSide.empty() || !result.failures.empty()) progress.clear();
      // A bound of the user's own that gave nothing is the user's to mend,
      // no defect of the study.
      for (const std::string& message : result.failures) err << "bounds-study: " << message << '\n';
      for (const std::string& message : result.wrongSide) {
        err << "bounds-study: " << message << '\n';
        wrongSide = true;
      }
      doneCost += plans[items[at].setting].cost;
      if (const auto line =
              estimate.after(elapsed(), at + 1 - from, doneCost, items.size() - at - 1)) {
        progress.clear();
        err << "bounds-study: " << *line << '\n';
      }
      progress.update(at + 1 - from);
    }
  } catch (...) {
    stopWork();
    progress.clear();
    throw;
  }
  stopWork();
  progress.clear();
  if (failure) std::rethrow_exception(failure);
  summary.finish();
  return wrongSide;
}

// "n = 12, m = 6: " before a note, when the study has more than one setting.
std::string settingName(const StudyAnswers& answers, bool several) {
  return several ? "n = " + std::to_string(answers.n) + ", m = " + std::to_string(answers.m) + ": "
                 : "";
}

int run(const StudyOptions& options, std::ostream& out, std::ostream& err, int terminal) {
  std::vector<UserColumn> user;
  for (const UserBound& bound : options.userBounds) user.push_back(bound.column);
  GridSummary summary(user);
  bool wrongSide = false;
  if (options.summarize) {
    wrongSide = summarizeFiles(options.files, summary, err);
  } else {
    const int jobs = options.jobs.value_or(availableProcessors());
    // Without the Boolean bounds their limit means nothing, and rows say 0.
    const RowOptions rowOptions{options.boolean,
                                options.boolean == BooleanMode::none
                                    ? 0
                                    : booleanWorkLimit(options.boolean, options.booleanLimit),
                                options.halfWidth, options.family};
    const std::size_t userBounds = options.userBounds.size();
    // The Boolean bounds of each thread may take its share of what is left
    // once the instances are drawn.
    const std::optional<MemoryLimit> limit = memoryLimit();
    std::vector<SettingPlan> plans;
    double mostBytes = 0;
    const SettingPlan* largest = nullptr;
    std::vector<std::string> notes;
    const bool several = options.settings.size() > 1;
    for (const StudyAnswers& answers : options.settings) {
      SettingPlan& plan = plans.emplace_back();
      plan.answers = answers;
      plan.request = options.request;
      plan.request.booleanWorkLimit = rowOptions.booleanLimit;
      const std::int32_t orders = std::min(answers.n, answers.m);
      std::optional<MemoryLimit> share = limit;
      if (share) {
        share->bytes =
            std::max(0.0, share->bytes / jobs - instanceBytes(answers, options.family, userBounds));
        if (jobs > 1)
          share->source = "that each of " + std::to_string(jobs) +
                          " threads (--jobs) may take of the memory available";
      }
      plan.scope = booleanScope(answers.n, orders, options.boolean, booleanMemoryBytes(share));
      plan.request.booleanOrders = plan.scope.orders;
      plan.bytes = instanceBytes(answers, options.family, userBounds) +
                   (plan.scope.orders > 0 ? booleanBytes(answers.n, plan.scope.orders) : 0);
      // The cost splits the study between shards, which must find the same
      // split on every node: it counts the orders the mode allows, whatever
      // the memory of this machine.
      BoundsRequest costed = plan.request;
      costed.booleanOrders =
          booleanScope(answers.n, orders, options.boolean, booleanMemoryBytes(std::nullopt)).orders;
      plan.cost = instanceCost(answers, costed, options.family, userBounds);
      if (plan.bytes > mostBytes) {
        mostBytes = plan.bytes;
        largest = &plan;
      }
      // Once for the study, not for each instance.
      const std::string note = booleanNote(answers.n, orders, options.boolean, plan.scope, share);
      if (!note.empty()) {
        const std::string line = settingName(answers, several) + note;
        if (std::find(notes.begin(), notes.end(), line) == notes.end()) notes.push_back(line);
      }
    }
    // Refused before the first instance, as intersections refuses an n too large.
    const double needed = mostBytes * jobs;
    if (limit && largest != nullptr && needed > limit->bytes) {
      throw TooLarge("n = " + std::to_string(largest->answers.n) + " needs about " +
                     std::to_string(megabytesUp(mostBytes)) + " MB an instance" +
                     (jobs > 1 ? ", " + std::to_string(megabytesUp(needed)) + " MB for " +
                                     std::to_string(jobs) + " at a time (--jobs)"
                               : std::string()) +
                     ", more than the " + std::to_string(megabytesDown(limit->bytes)) + " MB " +
                     limit->source);
    }
    for (const std::string& note : notes) err << "bounds-study: note: " << note << '\n';

    std::vector<double> costs;
    for (const SettingPlan& plan : plans) costs.push_back(plan.cost);
    std::optional<std::int64_t> first = options.first;
    std::optional<LineFile> instances;
    std::size_t from = 0;
    if (options.resume) {
      // The first second is that of the study: given, or the file's first row's.
      if (!first && options.shards == 1) {
        readLines(options.instancesFile, [&](const FileLine& line) {
          if (line.number == 1) return true;
          const std::vector<std::string> fields = splitCsvFields(line.text);
          if (fields.size() > 9) first = parseWholeNumber(fields[9], 0, largestSecond);
          return false;
        });
      }
      if (!first) {
        throw FileRefusal(
            "--resume needs --first T, the first second of the study, to go on "
            "from " +
            options.instancesFile);
      }
      const std::vector<WorkItem> items =
          shardItems(costs, *first, options.count, options.shard, options.shards);
      const Resumed resumed =
          resumeFrom(options.instancesFile, items, plans, rowOptions, user, summary, err);
      wrongSide = resumed.wrongSide;
      from = resumed.items;
      instances.emplace(openLineFile(options.instancesFile, resumed.keep));
      if (resumed.keep == 0) {
        const std::string header = instancesHeader(user) + '\n';
        if (!writeLine(*instances, header.data(), header.size())) closeLineFile(*instances);
      }
      wrongSide = studyInstances(items, from, plans, rowOptions, options.userBounds, jobs,
                                 &*instances, summary, err, terminal) ||
                  wrongSide;
    } else {
      if (!options.instancesFile.empty()) {
        instances.emplace(openLineFile(options.instancesFile));
        // The header at once: a study stopped before its first instance
        // still leaves a file to resume.
        const std::string header = instancesHeader(user) + '\n';
        if (!writeLine(*instances, header.data(), header.size())) closeLineFile(*instances);
      }
      first = first.value_or(static_cast<std::int64_t>(std::time(nullptr)));
      const std::vector<WorkItem> items =
          shardItems(costs, *first, options.count, options.shard, options.shards);
      wrongSide = studyInstances(items, 0, plans, rowOptions, options.userBounds, jobs,
                                 instances ? &*instances : nullptr, summary, err, terminal);
    }
    if (instances) closeLineFile(*instances);
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
  } catch (const OutputError& error) {
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
