#include "lines/prob_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "common/system_calls.h"
#include "lines/line_text.h"

// Reading is a scan over a buffer filled with read(2). The lines that the
// writer makes for values from 0 to 1 all have the same 13 bytes,
// "d.ddddddddd\r\n", and are parsed in place eight digits at a time, with no
// copy or allocation per line; any other line (LF alone, other numbers of
// decimals, or any line at all when the half-width is given) goes to a slower
// path that parses it in full or says what is wrong with it.

namespace intersections {

namespace {

constexpr std::size_t bufferSize = std::size_t{1} << 20;
// No value needs a line this long (the longest the writer makes for a value
// from 0 to 1 has 13 bytes); longer lines are refused whatever they hold.
constexpr std::size_t longestLine = 4096;
// Each scan adds at most 2^32 values of at most 10^9 in 64 bits.
constexpr std::uint64_t linesPerScan = std::uint64_t{1} << 32;

// A small file needs no buffer of a megabyte: one byte more than the file
// lets the first read see its end.
std::size_t bufferFor(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0) {
    return std::clamp<std::size_t>(static_cast<std::size_t>(status.st_size) + 1, 2 * longestLine,
                                   bufferSize);
  }
  return bufferSize;
}

class Reader {
 public:
  Reader(int descriptor, const std::string& name, std::int32_t n, std::int32_t keepOrders,
         const LinePicker& pick, std::optional<std::uint32_t> halfWidth)
      : descriptor_(descriptor),
        name_(name),
        n_(n),
        keepOrders_(keepOrders),
        pick_(pick),
        halfWidth_(halfWidth),
        buffer_(bufferFor(descriptor)) {}

  ProbFile read();

 private:
  [[noreturn]] void fail(std::uint64_t line, const std::string& what) const {
    throw ProbFileError(name_ + ":" + std::to_string(line) + ": " + what);
  }
  bool refill();
  LineReading readLine(const char* begin, const char* newline, std::uint64_t line) const;
  template <bool Keep>
  std::uint64_t scan(std::uint64_t limit);
  void add(const LineReading& line);
  void startOrder();
  std::uint64_t nextLimit();
  void preparePicks();

  int descriptor_;
  const std::string& name_;
  std::int32_t n_;
  std::int32_t keepOrders_;
  const LinePicker& pick_;
  std::optional<std::uint32_t> halfWidth_;  // in units; none: one unit of the last decimal
  std::vector<char> buffer_;
  std::size_t at_ = 0, filled_ = 0;
  bool endOfFile_ = false;

  ProbFile file_;
  std::int32_t order_ = 1;             // the order of the next line
  std::uint64_t orderSize_ = 0;        // lines of that order
  OrderSums current_;                  // its lines so far
  IntervalList* orderKept_ = nullptr;  // where its lines go, for the orders kept in full
  IntervalList* kept_ = nullptr;       // where the next lines go: orderKept_, or picked
  bool picking_ = false;               // this order is the one lines are picked from
  bool picksReady_ = false;            // and the places to pick are known
  std::size_t nextPick_ = 0;           // the first place in pickedPlaces not yet reached
};

// Moves what is left to the front and reads more. False at the end of the file.
bool Reader::refill() {
  if (endOfFile_) return false;
  std::memmove(buffer_.data(), buffer_.data() + at_, filled_ - at_);
  filled_ -= at_;
  at_ = 0;
  if (filled_ >= longestLine) fail(file_.lines + 1, "the line is longer than any value");
  for (;;) {
    const ssize_t got =
        systemCalls().read(descriptor_, buffer_.data() + filled_, buffer_.size() - filled_);
    if (got > 0) {
      filled_ += static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) {
      endOfFile_ = true;
      return false;
    }
    if (errno != EINTR) throw ProbFileError("cannot read " + name_ + ": " + std::strerror(errno));
  }
}

LineReading Reader::readLine(const char* begin, const char* newline, std::uint64_t line) const {
  if (static_cast<std::size_t>(newline - begin) >= longestLine)
    fail(line, "the line is longer than any value");
  const char* end = newline > begin && newline[-1] == '\r' ? newline - 1 : newline;
  try {
    return readLineText(begin, end, halfWidth_);
  } catch (const LineTextError& error) {
    fail(line, error.what());
  }
}

void Reader::startOrder() {
  orderSize_ = linesOfOrder(n_, order_);
  current_ = OrderSums{};
  Observations& seen = file_.observations;
  orderKept_ = nullptr;
  if (order_ <= keepOrders_) orderKept_ = &seen.lines.emplace_back();
  if (orderKept_ != nullptr)
    orderKept_->reserve(static_cast<std::size_t>(std::min<std::uint64_t>(orderSize_, 1 << 20)));
  kept_ = orderKept_;
  picking_ = pick_ && order_ == keepOrders_ + 1 && keepOrders_ >= 1;
  picksReady_ = false;
}

// Asks for the places of the lines to pick, once the order they are picked
// from has begun (a file that ends before it needs none).
void Reader::preparePicks() {
  Observations& seen = file_.observations;
  seen.pickedPlaces = pick_(seen);
  for (std::size_t t = 0; t < seen.pickedPlaces.size(); ++t) {
    if (seen.pickedPlaces[t] >= orderSize_ ||
        (t > 0 && seen.pickedPlaces[t] <= seen.pickedPlaces[t - 1]))
      throw std::invalid_argument("readProbFile: the places picked are not ascending");
  }
  seen.picked.reserve(seen.pickedPlaces.size());
  nextPick_ = 0;
  picksReady_ = true;
}

// How many lines the next scan may take, and where they go: in the order
// lines are picked from, up to the next line picked, or that line alone.
std::uint64_t Reader::nextLimit() {
  const std::uint64_t limit = std::min(orderSize_ - current_.lines, linesPerScan);
  if (!picking_) return limit;
  if (!picksReady_) {
    if (at_ == filled_) {  // no byte of the order yet: the scan takes nothing and reads on
      kept_ = nullptr;
      return limit;
    }
    preparePicks();
  }
  const std::vector<std::uint64_t>& places = file_.observations.pickedPlaces;
  while (nextPick_ < places.size() && places[nextPick_] < current_.lines) ++nextPick_;
  if (nextPick_ == places.size()) {
    kept_ = nullptr;
    return limit;
  }
  const std::uint64_t ahead = places[nextPick_] - current_.lines;
  kept_ = ahead == 0 ? &file_.observations.picked : nullptr;
  return ahead == 0 ? 1 : std::min(limit, ahead);
}

void Reader::add(const LineReading& line) {
  current_.add(line.value, line.interval);
  if (kept_ != nullptr) kept_->push(line.interval);
}

// Takes up to `limit` canonical lines from the buffer; stops early at any
// other line and where fewer than 13 bytes are left.
template <bool Keep>
std::uint64_t Reader::scan(std::uint64_t limit) {
  const char* p = buffer_.data() + at_;
  const char* const end = buffer_.data() + filled_;
  std::uint64_t count = 0, sum = 0, zeros = 0, ones = 0;
  while (count < limit && end - p >= static_cast<std::ptrdiff_t>(probabilityLineLength)) {
    const std::int64_t value = probabilityLineValue(p);
    if (value < 0) break;
    sum += static_cast<std::uint64_t>(value);
    zeros += value == 0;
    ones += value == unitsPerOne;
    if constexpr (Keep) kept_->pushValue(static_cast<std::uint32_t>(value));
    p += probabilityLineLength;
    ++count;
  }
  at_ = static_cast<std::size_t>(p - buffer_.data());
  current_.addOneUnitLines(sum, count, zeros, ones);
  return count;
}

ProbFile Reader::read() {
  file_.observations.n = n_;
  std::vector<OrderSums>& orders = file_.observations.orders;
  startOrder();
  bool cutLine = false;  // the file ends in a line without its line end
  for (;;) {
    if (current_.lines == orderSize_) {
      orders.push_back(std::move(current_));
      if (order_ == n_) {
        // Every set has had its line: anything more means n is wrong.
        if (at_ == filled_ && !refill()) break;
        fail(file_.lines + 1, "more lines than the 2^" + std::to_string(n_) + " - 1 sets of " +
                                  std::to_string(n_) + " events; is N right?");
      }
      ++order_;
      startOrder();
    }
    const std::uint64_t limit = nextLimit();
    // The scan takes each line as one unit around its value: not with a
    // half-width of its own.
    const std::uint64_t taken = halfWidth_         ? 0
                                : kept_ != nullptr ? scan<true>(limit)
                                                   : scan<false>(limit);
    file_.lines += taken;
    if (taken == limit) continue;

    // A line the scan did not take: another form, or not all in the buffer.
    const char* begin = buffer_.data() + at_;
    const char* end = buffer_.data() + filled_;
    const char* newline =
        static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
    if (newline == nullptr) {
      if (refill()) continue;
      if (begin != end) {
        if (!startsLineText(begin, end)) {
          const char* last = end[-1] == '\r' ? end - 1 : end;
          readLine(begin, last, file_.lines + 1);  // says what is wrong with it
        }
        cutLine = true;
      }
      break;
    }
    add(readLine(begin, newline, file_.lines + 1));
    ++file_.lines;
    at_ = static_cast<std::size_t>(newline + 1 - buffer_.data());
  }

  const std::size_t complete = orders.size();
  // The lines of the order cut short are no use.
  Observations& seen = file_.observations;
  if (seen.lines.size() > complete) seen.lines.resize(complete);
  if (complete < static_cast<std::size_t>(keepOrders_) + 1) {
    seen.pickedPlaces.clear();
    seen.picked.clear();
  }
  std::string why;
  if (cutLine) why = "line " + std::to_string(file_.lines + 1) + " has no line end and is left out";
  if (complete < static_cast<std::size_t>(n_) && current_.lines > 0) {
    if (!why.empty()) why += "; ";
    why += "order " + std::to_string(order_) + " stops after " + std::to_string(current_.lines) +
           " of its " + std::to_string(orderSize_) + " lines";
  }
  if (complete == 0) {
    if (file_.lines == 0 && !cutLine) throw ProbFileError(name_ + ": the file has no lines");
    throw ProbFileError(name_ + ": no complete order: " + why + "; is N right?");
  }
  if (!why.empty()) {
    file_.shortfall = name_ + ": " + why + "; using order" + (complete > 1 ? "s 1 to " : " ") +
                      std::to_string(complete);
  }
  return std::move(file_);
}

}  // namespace

ProbFile readProbFile(int descriptor, const std::string& name, std::int32_t n,
                      const LineSelection& keep, std::optional<std::uint32_t> halfWidth) {
  if (n < 1) throw std::invalid_argument("readProbFile: n must be at least 1");
  if (halfWidth && *halfWidth > unitsPerOne)
    throw std::invalid_argument("readProbFile: the half-width is more than 1");
  return Reader(descriptor, name, n, keep.keepOrders, keep.pick, halfWidth).read();
}

}  // namespace intersections
