// Runs the whole dialogue in-process on arbitrary standard input and checks
// what comes out: the exit status, the prompts on standard output, the
// message on standard error and the lines of prob.txt.
//
// The target works in a fresh temporary directory that it makes its working
// directory at start-up, so give libFuzzer absolute paths for the corpus and
// the artifacts (scripts/fuzz does), and for a crash file to run again.
//
// Inputs whose n, read the way the program reads it, is above 12 are skipped:
// they cost time and reach no other code. Up to 12 events give at most 4095
// lines.

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>
#include <string>

#include "main/dialogue.h"

namespace {

constexpr int largestFuzzedN = 12;

const char* const prompts[4] = {
    "Number of events. n=",
    ("The probability (density) of the 1 entry in the matrix in percent (it must be an integer "
     "between 0 and 100): "),
    "The probability of the union of the events: ",
    "Maximum order of the intersections. m=",
};

std::filesystem::path scratch;

void removeScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
}

[[noreturn]] void fail(const std::string& what, const std::string& input, int status,
                       const std::string& out, const std::string& err) {
  std::fprintf(stderr,
               "fuzz_dialogue: %s\n  status: %d\n  input (%zu bytes): \"%s\"\n  stdout: \"%s\"\n"
               "  stderr: \"%s\"\n",
               what.c_str(), status, input.size(), input.c_str(), out.c_str(), err.c_str());
  __builtin_trap();
}

// What the program should do with the input, worked out by reading the
// answers with the same extractions: how many prompts it writes and whether
// it gets to write the file.
struct Expectation {
  int prompts = 0;
  bool accepted = false;  // every answer taken, the file gets written
  std::int32_t n = 0;
  std::int32_t m = 0;
  int warnings = 0;  // lines "intersections: warning: ..." before anything else
};

// Whether a whole-number answer just read is directly followed by a point
// or an exponent, or, after the last answer, by more than blanks on its line.
bool misread(std::istream& in, bool last) {
  const auto next = in.peek();
  if (next == '.' || next == 'e' || next == 'E') return true;
  if (!last) return false;
  for (char c; in.get(c);) {
    if (c == '\n') return false;
    if (!std::isspace(c, std::locale::classic())) return true;
  }
  return false;
}

template <typename Number>
bool read(std::istream& in, Number& value) {
  in >> std::ws;
  if (in.peek() == std::char_traits<char>::eof()) return false;
  return static_cast<bool>(in >> value);
}

Expectation expect(const std::string& input) {
  std::istringstream in(input);
  in.imbue(std::locale::classic());
  Expectation e;
  std::int32_t density = 0;
  double P = 0;
  e.prompts = 1;
  if (!read(in, e.n) || e.n < 1) return e;
  e.warnings += misread(in, false);
  e.prompts = 2;
  if (!read(in, density) || density < 1) return e;
  e.warnings += misread(in, false);
  e.prompts = 3;
  if (!read(in, P) || !std::isfinite(P)) return e;
  e.prompts = 4;
  if (!read(in, e.m)) return e;
  in.clear();
  e.warnings += misread(in, true);
  e.accepted = true;
  return e;
}

std::uint64_t expectedLines(std::int32_t n, std::int32_t m) {
  std::uint64_t total = 0;
  std::uint64_t choose = 1;  // C(n, size)
  for (std::int32_t size = 1; size <= n && size <= m; ++size) {
    choose = choose * static_cast<std::uint64_t>(n - size + 1) / static_cast<std::uint64_t>(size);
    total += choose;
  }
  return total;
}

// "-"? digits "." nine digits, or what the formatter writes for the values
// that have no digits.
bool isProbabilityText(const std::string& text) {
  if (text == "inf" || text == "-inf" || text == "nan") return true;
  std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  const std::size_t integerStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == integerStart || i >= text.size() || text[i] != '.') return false;
  if (i - integerStart > 1 && text[integerStart] == '0') return false;
  if (text.size() - i - 1 != 9) return false;
  for (++i; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-dialogue-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
    std::perror("fuzz_dialogue: cannot make a scratch directory");
    std::abort();
  }
  scratch = pattern;
  std::atexit(removeScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const Expectation expected = expect(input);
  if (expected.prompts > 1 && expected.n > largestFuzzedN) return -1;  // not added to the corpus

  std::remove("prob.txt");
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = intersections::runIntersections(in, out, err);
  const std::string outText = out.str();
  std::string errText = err.str();
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) fail(what, input, status, outText, err.str());
  };

  check(status >= 0 && status <= 4, "exit status out of range");
  check(status != 4, "internal error");

  // Standard output: whole prompts, one per question asked, nothing else.
  std::string asked;
  for (int i = 0; i < expected.prompts; ++i) asked += prompts[i];
  check(outText == asked, "standard output is not the prompts of the questions asked (expected " +
                              std::to_string(expected.prompts) + ")");

  // The warnings come first, one line each; what follows is checked below.
  for (int i = 0; i < expected.warnings; ++i) {
    check(errText.rfind("intersections: warning: ", 0) == 0,
          "warning " + std::to_string(i + 1) + " of " + std::to_string(expected.warnings) +
              " missing");
    errText.erase(0, errText.find('\n') + 1);
  }
  check(errText.rfind("intersections: warning: ", 0) != 0, "more warnings than expected");

  std::ifstream file("prob.txt", std::ios::binary);
  if (!expected.accepted) {
    check(status == 1, "a refused answer did not give status 1");
    check(errText.rfind("intersections: ", 0) == 0,
          "message does not start with \"intersections: \"");
    check(!errText.empty() && errText.back() == '\n' && errText.find('\n') == errText.size() - 1,
          "message is not exactly one line");
    check(!file.is_open(), "prob.txt written although an answer was refused");
    return 0;
  }

  if (status == 2 || status == 3) {
    // The machine, not the input: the scratch directory's disk is full, or
    // memory ran out while the instance was built.
    check(errText.rfind("intersections: ", 0) == 0 && errText.find('\n') == errText.size() - 1,
          "a failure without exactly one message line");
    return 0;
  }
  check(status == 0, "every answer accepted but the status is not 0");
  check(errText.empty(), "standard error not empty after a complete run");
  check(file.is_open(), "no prob.txt after a complete run");
  const std::string content((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  std::uint64_t lines = 0;
  for (std::size_t start = 0; start < content.size(); ++lines) {
    const std::size_t end = content.find("\r\n", start);
    check(end != std::string::npos, "prob.txt does not end with CR LF");
    const std::string text = content.substr(start, end - start);
    check(isProbabilityText(text),
          "line " + std::to_string(lines + 1) + " is not a probability: \"" + text + "\"");
    start = end + 2;
  }
  check(lines == expectedLines(expected.n, expected.m),
        "prob.txt has " + std::to_string(lines) + " lines, expected " +
            std::to_string(expectedLines(expected.n, expected.m)));
  return 0;
}
